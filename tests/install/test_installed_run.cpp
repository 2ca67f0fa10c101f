// The installed program run as a user would run it: installed into a DESTDIR, started with a home
// of its own (as the user nobody when the test runs as root), its own PulseAudio on a null sink and
// the Xvfb display. It opens a file named on its command line, saves a cut, and keeps its working
// files in the user's data folder, writing nothing into the installed tree.
#include "app/form1.h"
#include "app/selection_slider.h"
#include "app/wave_view.h"
#include "tests/support/test_audio.h"
#include "tests/support/x_session.h"

#include <QApplication>
#include <QSettings>

#include <unistd.h>

using namespace xsession;

namespace {
// Every entry under folder with its size and time, to see that nothing changed.
QByteArray snapshot(const QString& folder) {
    QProcess find;
    find.start("sh", {"-c", "find '" + folder + "' -printf '%p %s %T@\\n' | sort"});
    find.waitForFinished();
    return find.readAllStandardOutput();
}
} // namespace

class TestInstalledRun : public QObject {
    Q_OBJECT
    QTemporaryDir m_root;
    const QString m_tree = m_root.filePath("tree"), m_home = m_root.filePath("home");
    const QString m_program = m_tree + "/usr/bin/quillet";
    QProcess m_pulse;
    QPoint m_save, m_play, m_beginCut, m_endCut;
    QRect m_strip;

    // Runs program with nothing of this process's environment, as nobody when that is root.
    bool start(QProcess& process, const QString& program, const QStringList& args,
               const QString& home) const {
        // The temporary paths hold no blanks.
        const QStringList line =
            QString("env -i HOME=%1 XDG_RUNTIME_DIR=%2/run DISPLAY=%3 PATH=/usr/bin:/bin "
                    "QT_QPA_PLATFORM=xcb %4")
                .arg(home, m_home, qEnvironmentVariable("QUILLET_X_DISPLAY"), program)
                .split(' ');
        if (geteuid() == 0)
            process.start("setpriv",
                          QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups"} +
                              line + args);
        else
            process.start("env", line.mid(1) + args);
        return process.waitForStarted();
    }
    bool shell(const QString& command) const {
        return QProcess::execute("sh", {"-c", command}) == 0;
    }

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("QUILLET_X_DISPLAY"))
            QSKIP("needs the Xvfb display of the test services");
        qputenv("DISPLAY", qgetenv("QUILLET_X_DISPLAY"));
        // As a package lays it out: not writable by the user who runs it.
        QVERIFY(shell("chmod a+rx " + m_root.path() + " && DESTDIR=" + m_tree +
                      " cmake --install " QUILLET_BUILD_DIR " --prefix /usr >/dev/null"));
        QVERIFY(geteuid() == 0 || shell("chmod -R a-w " + m_tree));
        // The user's home: a tune to open, a folder to save into, settings that save there.
        QVERIFY(QDir().mkpath(m_home + "/out") && QDir().mkpath(m_home + "/run"));
        QVERIFY(testaudio::makeAudio(m_home + "/tune.wav", 8, {"pluck", "220", "pluck", "330"}));
        QVERIFY(testaudio::convertWithFfmpeg(m_home + "/tune.wav", m_home + "/tune.mp3"));
        QSettings settings(m_home + "/.config/quilletaudio.com/quilletaudio.com.conf",
                           QSettings::IniFormat);
        settings.setValue("Quillet/Output Format", "WAV");
        settings.setValue("Quillet/Output Folder", m_home + "/out/");
        settings.setValue("Quillet/Auto Open Folder", "0");
        settings.sync();
        QVERIFY(shell("rm " + m_home + "/tune.wav && chmod 700 " + m_home + "/run"));
        QVERIFY(geteuid() != 0 || shell("chown -R nobody:nogroup " + m_home));

        QVERIFY(start(m_pulse, "pulseaudio",
                      {"--daemonize=no", "-n", "--exit-idle-time=-1",
                       "--load=module-null-sink sink_name=null norewinds=1",
                       "--load=module-native-protocol-unix"},
                      m_home));
        QVERIFY(testaudio::waitFor(
            [&] {
                QProcess info;
                return start(info, "pactl", {"info"}, m_home) && info.waitForFinished(5000) &&
                       info.exitCode() == 0;
            },
            20000));

        Form1 layout; // where a user finds the controls
        layout.show();
        const auto at = [&](const QWidget* w) { return w->mapTo(&layout, w->rect().center()); };
        m_save = at(layout.CommandBars->widgetForAction(layout.ctlSaveCuttedAudio));
        m_play = at(layout.cmdPlay);
        m_beginCut = at(layout.cmdBeginCut);
        m_endCut = at(layout.cmdEndCut);
        m_strip = QRect(layout.PicWave->mapTo(&layout, QPoint(0, 0)), layout.PicWave->size());
    }
    void cleanupTestCase() {
        m_pulse.terminate();
        m_pulse.waitForFinished(5000);
        shell("chmod -R u+w " + m_root.path());
    }

    void opensSavesAndLeavesTheTreeAlone() {
        const QByteArray before = snapshot(m_tree);
        const QString data = m_home + "/.local/share/Quillet";
        QProcess quillet;
        const Reaper reaper{quillet};
        quillet.setProcessChannelMode(QProcess::ForwardedChannels);
        QVERIFY(start(quillet, m_program, {m_home + "/tune.mp3"}, m_home));
        // setpriv and env replace themselves with the program, so the process id is its own.
        const QString window = waitForWindow(quillet.processId(), "Quillet");
        QVERIFY2(!window.isEmpty(), "the program showed no window");
        QVERIFY2(testaudio::waitFor(
                     [&] {
                         const QImage shot = grab(window, m_root.path());
                         int strokes = 0;
                         for (int y = m_strip.top(); y <= m_strip.bottom(); y += 2)
                             for (int x = m_strip.left(); x <= m_strip.right(); x += 2)
                                 strokes += shot.pixel(x, y) == qRgb(81, 235, 63);
                         return strokes > 200;
                     },
                     30000),
                 "the file named on the command line did not load");
        QVERIFY(QFile::exists(data + "/temp.wav"));

        click(window, m_play);
        QTest::qWait(1200);
        click(window, m_beginCut);
        QTest::qWait(2200);
        click(window, m_endCut);
        QTest::qWait(300);
        click(window, m_save);
        QVERIFY2(answerBox(quillet, "Done Saved"), "no Done Saved box");
        const double seconds = testaudio::decodedSeconds(m_home + "/out/tune_cutted.wav", 44100);
        QVERIFY2(seconds >= 1 && seconds <= 4, qPrintable(QString::number(seconds)));
        QVERIFY(!QFile::exists(data + "/coder.exe"));

        quillet.terminate(); // SIGTERM closes the window as a close would
        QVERIFY(quillet.waitForFinished(15000));
        QCOMPARE(quillet.exitStatus(), QProcess::NormalExit);
        QVERIFY(!QFile::exists(data + "/temp.wav"));
        QCOMPARE(snapshot(m_tree), before);
    }
};

QTEST_MAIN(TestInstalledRun)
#include "test_installed_run.moc"
