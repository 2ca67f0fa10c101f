// Start-up of the window program: program and working folders, the checks that end it at once,
// the window.
#include "app/form1.h"
#include "app/message_box.h"
#include "app/quit_signals.h"
#include "app/startup.h"
#include "audio/mod_bass_fx.h"
#include "base/working_folder.h"

#include <QApplication>
#include <QDir>
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
    if (const QStringList arguments = QCoreApplication::arguments(); arguments.size() > 1) {
        named.setUrls({QUrl::fromLocalFile(QFileInfo(arguments.at(1)).absoluteFilePath())});
        QTimer::singleShot(0, &window,
                           [&window, &named] { window.txtAudioFile_OLEDragDrop(&named); });
    }
    return QApplication::exec();
}
