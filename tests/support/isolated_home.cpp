// Linked into every test: before main() runs, the user's home and XDG folders point into a fresh
// temporary folder, so the settings store, the data folder and any cache a test touches are its
// own and are removed when it exits, whatever format or location they use.
#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>

namespace {
struct IsolatedHome {
    QTemporaryDir root{QDir::tempPath() + QStringLiteral("/quillet-test-home-XXXXXX")};
    IsolatedHome() {
        if (!root.isValid())
            std::abort();
        for (const char* name :
             {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
            QDir().mkpath(root.filePath(QString::fromLatin1(name)));
            qputenv(name, QFile::encodeName(root.filePath(QString::fromLatin1(name))));
        }
    }
} const isolatedHome;
} // namespace
