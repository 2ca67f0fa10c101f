// The whole program on the Xvfb display, as a copy of the build and installed read-only.
#include "app/form1.h"
#include "tests/support/test_support.h"

#include <QSettings>

#include <cmath>
#include <csignal>
#include <unistd.h>

namespace {
QString xdotool(const QStringList& args) {
    return QString::fromUtf8(testaudio::run("xdotool", args, 5000).output).trimmed();
}
void click(const QString& window, QPoint at) {
    xdotool({"mousemove", "--window", window, QString::number(at.x()), QString::number(at.y()),
             "click", "1"});
}

// The first visible window of the process with exactly that title, waiting up to ten seconds.
QString waitForWindow(qint64 pid, const QString& title, int tenths = 100) {
    for (int i = 0; i < tenths; ++i, QTest::qWait(100)) {
        const QString ids = xdotool({"search", "--all", "--onlyvisible", "--pid",
                                     QString::number(pid), "--name", "^" + title + "$"});
        if (!ids.isEmpty())
            return ids.section(u'\n', 0, 0);
    }
    return {};
}

// Presses Return in the program's box with that title until the box is gone.
bool answerBox(const QProcess& program, const QString& title) {
    const QString box = waitForWindow(program.processId(), title, 300);
    for (int i = 0; i < 20 && !box.isEmpty(); ++i, QTest::qWait(300)) {
        if (waitForWindow(program.processId(), title, 1).isEmpty())
            return true;
        xdotool({"windowfocus", "--sync", box});
        xdotool({"key", "Return"});
    }
    return false;
}

bool shell(const QString& command) {
    return QProcess::execute("sh", {"-c", command}) == 0;
}

// Clicks the Open button, types the file's name into the dialog it shows and presses Return.
bool openByDialog(qint64 pid, const QString& window, QPoint button, const QString& file) {
    click(window, button);
    const QString dialog = waitForWindow(pid, "Select Media File");
    if (dialog.isEmpty())
        return false;
    xdotool({"windowfocus", "--sync", dialog});
    xdotool({"type", "--delay", "5", file});
    xdotool({"key", "Return"});
    return true;
}
} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
    QTemporaryDir m_root;
    const QString m_home = m_root.filePath("home"), m_tree = m_root.filePath("tree");
    QProcess m_pulse;
    // Where the controls are, read from a window laid out the same way here.
    enum { Open, Save, Play, BeginCut, EndCut, Strip };
    QList<QRect> m_at;

    // Runs program with nothing of this process's environment, as nobody when that is root and
    // the run should not be able to write everywhere (a root run writes its coverage counts).
    bool start(QProcess& process, const QString& program, const QStringList& args = {},
               bool asNobody = true) const {
        const QStringList line =
            QString("env -i HOME=%1 XDG_RUNTIME_DIR=%1/run PULSE_SERVER=unix:%1/run/pulse/native "
                    "DISPLAY=%2 PATH=/usr/bin:/bin QT_QPA_PLATFORM=xcb %3")
                .arg(m_home, qEnvironmentVariable("QUILLET_X_DISPLAY"), program)
                .split(' ');
        if (geteuid() == 0 && asNobody)
            process.start("setpriv",
                          QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups"} +
                              line + args);
        else
            process.start("env", line.mid(1) + args);
        return process.waitForStarted();
    }

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("QUILLET_X_DISPLAY"))
            QSKIP("needs the Xvfb display of the test services");
        Form1 w;
        w.show();
        QCoreApplication::processEvents();
        for (const QWidget* control :
             {w.CommandBars->widgetForAction(w.ctlOpenMediaFile),
              w.CommandBars->widgetForAction(w.ctlSaveCuttedAudio), (QWidget*)w.cmdPlay,
              (QWidget*)w.cmdBeginCut, (QWidget*)w.cmdEndCut, (QWidget*)w.PicWave})
            m_at << QRect(control->mapTo(&w, QPoint()), control->size());
        // A copy of the build in a folder of its own, and the program installed as a package lays
        // it out: not writable by the user who runs it.
        QVERIFY(shell(QString("cd %1 && chmod a+rx . && mkdir -p home/out home/run program && cp "
                              "%2/quillet %2/codec.dll program && DESTDIR=%3 cmake --install %2 "
                              "--prefix /usr >/dev/null")
                          .arg(m_root.path(), QUILLET_BUILD_DIR, m_tree)));
        QVERIFY(geteuid() == 0 || shell("chmod -R a-w " + m_tree));
        QVERIFY(shell(QString("espeak-ng --stdout 'This is Quillet, cutting a spoken sentence into "
                              "a shorter one, exactly where it was marked, while it plays.' | "
                              "ffmpeg -v error -i - '%1/spoken words.mp3' && chmod 700 %1/run")
                          .arg(m_home)));
        QSettings(m_home + "/.config/quilletaudio.com/quilletaudio.com.conf", QSettings::IniFormat)
            .setValue("Quillet/Output Folder", m_home + "/out/"); // MP3 at 44100 Hz, the defaults
        QVERIFY(geteuid() != 0 || shell("chown -R nobody:nogroup " + m_home));
        QVERIFY(start(m_pulse, "pulseaudio",
                      {"--daemonize=no", "-n", "--exit-idle-time=-1",
                       "--load=module-null-sink sink_name=null norewinds=1",
                       "--load=module-native-protocol-unix"}));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_home + "/run/pulse/native"), 20000);
        // The program and xdotool work on the Xvfb display; this test itself stays offscreen.
        qputenv("DISPLAY", qgetenv("QUILLET_X_DISPLAY"));
    }
    void cleanupTestCase() { shell("chmod -R u+w " + m_root.path()); }

    // A second copy is refused with a box. A spoken file, opened through the dialog or named on
    // the command line, played and marked while it plays, is cut and saved; SIGTERM or SIGINT
    // closes the window. Installed read-only, the program works in the user's data folder.
    void cutAndSave_data() {
        QTest::addColumn<bool>("installed");
        QTest::newRow("a copy of the build") << false;
        QTest::newRow("installed") << true;
    }
    void cutAndSave() {
        QFETCH(bool, installed);
        const QString program =
            installed ? m_tree + "/usr/bin/quillet" : m_root.filePath("program/quillet");
        // The program's folder holds the working files, or the data folder when it is read-only.
        const QString work =
            installed ? m_home + "/.local/share/Quillet" : m_root.filePath("program");
        const QString file = m_home + "/spoken words.mp3",
                      output = m_home + "/out/spoken words_cutted.mp3";
        QFile::remove(output);
        QProcess quillet; // killed on the way out should a check fail
        QVERIFY(start(quillet, program, installed ? QStringList{file} : QStringList(), installed));
        // setpriv and env replace themselves with the program, so the process id is its own.
        const QString window = waitForWindow(quillet.processId(), "Quillet");
        QVERIFY2(!window.isEmpty(), "the program showed no window");
        QProcess second; // refused with a box while the first runs
        QVERIFY(start(second, program, {}, installed) && answerBox(second, "Quillet"));
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 10000);
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(installed || openByDialog(quillet.processId(), window, m_at[Open].center(), file));
        // Loaded once the strip shows the waveform's strokes, read back through xwd.
        const QString png = m_root.filePath("grab.png");
        const auto loaded = [&] {
            shell(
                QString("xwd -silent -id %1 -out %2.xwd && ffmpeg -loglevel error -y -i %2.xwd %2")
                    .arg(window, png));
            const QImage strip = QImage(png).copy(m_at[Strip]);
            int strokes = 0;
            for (int y = 0; y < strip.height(); y += 2)
                for (int x = 0; x < strip.width(); x += 2)
                    strokes += strip.pixel(x, y) == qRgb(81, 235, 63);
            return strokes > 200;
        };
        QVERIFY2(QTest::qWaitFor(loaded, 30000), "the file did not load");
        QVERIFY(QFile::exists(work + "/temp.wav"));
        click(window, m_at[Play].center());
        QTest::qWait(1300);
        click(window, m_at[BeginCut].center());
        QTest::qWait(2200);
        click(window, m_at[EndCut].center());
        click(window, m_at[Save].center());
        QVERIFY2(answerBox(quillet, "Done Saved"), "no box");
        ::kill(pid_t(quillet.processId()), installed ? SIGINT : SIGTERM);
        QVERIFY(quillet.waitForFinished(10000) && quillet.exitStatus() == QProcess::NormalExit);
        QCOMPARE(quillet.exitCode(), 0);
        QCOMPARE(QDir(work).entryList({"temp.wav", "coder.exe"}), QStringList());
        // The marks are whole seconds, about two apart here: the cut is exact to one frame.
        const double seconds = testaudio::decodedSeconds(output, 44100);
        QVERIFY2(std::round(seconds) >= 1 && std::round(seconds) <= 4 &&
                     std::abs(seconds - std::round(seconds)) <= 1152.0 / 44100 + 1e-6,
                 qPrintable(QString::number(seconds)));
    }

    // A load started by typing a name into the open dialog and pressing Return stops at the
    // first Escape. The file is a pipe no one feeds: the transcoder waits on it until stopped.
    void firstEscapeStopsALoad() {
        const QString pipe = m_home + "/endless.mp3";
        QVERIFY(QFile::exists(pipe) || shell("mkfifo '" + pipe + "'"));
        QProcess quillet;
        QVERIFY(start(quillet, m_root.filePath("program/quillet"), {}, false));
        const QString window = waitForWindow(quillet.processId(), "Quillet");
        QVERIFY(!window.isEmpty());
        const auto converting = [&quillet] {
            return QProcess::execute("pgrep", {"-P", QString::number(quillet.processId()), "-f",
                                               "coder.exe"}) == 0;
        };
        QVERIFY(openByDialog(quillet.processId(), window, m_at[Open].center(), pipe));
        QVERIFY2(QTest::qWaitFor(converting, 10000), "the load did not start");
        xdotool({"key", "Escape"});
        const bool stopped = QTest::qWaitFor([&] { return !converting(); }, 5000);
        if (!stopped) // the pipe's end ends the load
            shell("exec 3>'" + pipe + "'; exec 3>&-");
        ::kill(pid_t(quillet.processId()), SIGTERM);
        QVERIFY(quillet.waitForFinished(10000));
        QVERIFY2(stopped, "the first Escape was lost");
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
