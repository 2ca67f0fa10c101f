// Linked into every test: before main() runs, the home and XDG folders point into a temporary
// folder of the test's own, removed when it exits, whatever a test stores there and in what format.
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
