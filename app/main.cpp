// Start-up of the window program: program and working folders, the checks that end it at once,
// the window.
#include "app/form1.h"
#include "app/message_box.h"
#include "app/quit_signals.h"
#include "app/startup.h"
#include "audio/mod_bass_fx.h"
#include "base/local_path.h"
#include "base/working_folder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace {
int fail(const StartupFailure& failure) {
    showMessage(nullptr, failure.text, failure.style, failure.title);
    return 1;
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    const QString folder = QCoreApplication::applicationDirPath();
    QDir::setCurrent(folder);

    const QString working = workingFolder();
    if (working.isEmpty())
        return fail(noWorkingFolder(folder, userDataFolder()));
    std::unique_ptr<QLockFile> lock;
    if (auto failure = claimProgramFolder(working, lock))
        return fail(*failure);
    removeLeftovers(working);
    if (auto failure = checkLibraryVersions(BASS_GetVersion(), BASS_FX_GetVersion()))
        return fail(*failure);

    Form1 window;
    if (!BASS_Init(-1, 44100, 0, reinterpret_cast<void*>(window.winId()), nullptr))
        return fail(deviceFailure());
    closeOnQuitSignals(&window);
    window.show();
    // A file named on the command line (the desktop's "Open With") is taken as if it had been
    // dropped on the file box, with the same checks.
    QMimeData named;
    if (argc > 1) {
#ifdef Q_OS_WIN
        named.setUrls({QUrl::fromLocalFile(
            QFileInfo(QCoreApplication::arguments().at(1)).absoluteFilePath())});
#else
        // The name's own bytes: it need not be UTF-8.
        QByteArray name(argv[1]);
        if (!name.startsWith('/'))
            name = QFile::encodeName(QDir::currentPath()) + '/' + name;
        named.setUrls({fileUrlOfBytes(name)});
#endif
        QTimer::singleShot(0, &window,
                           [&window, &named] { window.txtAudioFile_OLEDragDrop(&named); });
    }
    return QApplication::exec();
}
