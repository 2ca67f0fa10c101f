// The installed program run as a user would run it: installed into a DESTDIR as root, started as
// the unprivileged user nobody with a home folder of its own, its own PulseAudio on a null sink
// and the Xvfb display. It opens a generated file named on its command line, saves a cut, and
// keeps its working files in the user's data folder, writing nothing into the installed tree.
#include "app/form1.h"
#include "app/selection_slider.h"
#include "app/wave_view.h"
#include "playback/wave_render.h"
#include "tests/support/test_audio.h"
#include "tests/support/x_session.h"

#include <QApplication>
#include <QDirIterator>
#include <QSettings>

#include <cmath>
#include <unistd.h>

using namespace xsession;

namespace {

const QString kBuild = QStringLiteral(QUILLET_BUILD_DIR);

int strokePixels(const QImage& shot, const QRect& strip) {
    int count = 0;
    for (int y = strip.top(); y <= strip.bottom(); y += 2)
        for (int x = strip.left(); x <= strip.right(); x += 2)
            if (shot.pixel(x, y) == kWaveStroke)
                ++count;
    return count;
}

// Every entry under folder with its size and modification time, to see that nothing changed.
QStringList snapshot(const QString& folder) {
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries << QStringLiteral("%1 %2 %3")
                       .arg(info.filePath())
                       .arg(info.size())
                       .arg(info.lastModified().toMSecsSinceEpoch());
    }
    entries.sort();
    return entries;
}

int run(const QString& program, const QStringList& args,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(program, args);
    return p.waitForFinished(120000) ? p.exitCode() : -1;
}

} // namespace

class TestInstalledRun : public QObject {
    Q_OBJECT
    QTemporaryDir m_root;
    QProcess m_pulse;
    QPoint m_save, m_play, m_beginCut, m_endCut;
    QRect m_strip;

    QString tree() const { return m_root.filePath(QStringLiteral("tree")); }
    QString home(const QString& name = {}) const {
        return QDir(m_root.filePath(QStringLiteral("home"))).filePath(name);
    }
    QString dataFolder() const { return home(QStringLiteral(".local/share/Quillet")); }

    // The command line that runs program as nobody with nothing of root's environment.
    QStringList asNobody(const QString& program, const QStringList& args,
                         const QString& homeFolder = {}) const {
        QStringList line{QStringLiteral("--reuid=nobody"),
                         QStringLiteral("--regid=nogroup"),
                         QStringLiteral("--clear-groups"),
                         QStringLiteral("env"),
                         QStringLiteral("-i"),
                         QStringLiteral("HOME=") + (homeFolder.isEmpty() ? home() : homeFolder),
                         QStringLiteral("XDG_RUNTIME_DIR=") + home(QStringLiteral("run")),
                         QStringLiteral("DISPLAY=") + qEnvironmentVariable("QUILLET_X_DISPLAY"),
                         QStringLiteral("PATH=/usr/bin:/bin"),
                         QStringLiteral("QT_QPA_PLATFORM=xcb"),
                         program};
        return line + args;
    }

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("QUILLET_X_DISPLAY"))
            QSKIP("needs the Xvfb display that scripts/test.sh starts");
        if (geteuid() != 0)
            QSKIP("running the program as another user needs root");
        qputenv("DISPLAY", qgetenv("QUILLET_X_DISPLAY"));

        // The install, as a package would lay it out: owned by root, readable by all.
        QVERIFY(QFile::setPermissions(m_root.path(), QFile::permissions(m_root.path()) |
                                                         QFileDevice::ReadOther |
                                                         QFileDevice::ExeOther));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), tree());
        QCOMPARE(run(QStringLiteral("cmake"),
                     {QStringLiteral("--install"), kBuild, QStringLiteral("--prefix"),
                      QStringLiteral("/usr")},
                     env),
                 0);
        QVERIFY(QFileInfo(tree() + QStringLiteral("/usr/bin/quillet")).isSymLink());

        // The user's home: a tune to open, a folder to save into, the settings to save there.
        QVERIFY(QDir().mkpath(home(QStringLiteral("out"))));
        QVERIFY(QDir().mkpath(home(QStringLiteral("run"))));
        QVERIFY(testaudio::makeAudio(home(QStringLiteral("tune.wav")), 8,
                                     {QStringLiteral("pluck"), QStringLiteral("220"),
                                      QStringLiteral("pluck"), QStringLiteral("330")}));
        QVERIFY(testaudio::convertWithFfmpeg(home(QStringLiteral("tune.wav")),
                                             home(QStringLiteral("tune.mp3"))));
        QVERIFY(QFile::remove(home(QStringLiteral("tune.wav"))));
        {
            QSettings settings(
                home(QStringLiteral(".config/quilletaudio.com/quilletaudio.com.conf")),
                QSettings::IniFormat);
            settings.setValue(QStringLiteral("Quillet/Output Format"), QStringLiteral("WAV"));
            settings.setValue(QStringLiteral("Quillet/Output Folder"),
                              home(QStringLiteral("out")) + QDir::separator());
            settings.setValue(QStringLiteral("Quillet/Auto Open Folder"), QStringLiteral("0"));
        }
        QCOMPARE(run(QStringLiteral("chown"),
                     {QStringLiteral("-R"), QStringLiteral("nobody:nogroup"), home()}),
                 0);
        QVERIFY(QFile::setPermissions(home(QStringLiteral("run")), QFileDevice::ReadOwner |
                                                                       QFileDevice::WriteOwner |
                                                                       QFileDevice::ExeOwner));

        // The user's own sound server, on a null sink.
        m_pulse.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_pulse.start(QStringLiteral("setpriv"),
                      asNobody(QStringLiteral("pulseaudio"),
                               {QStringLiteral("--daemonize=no"), QStringLiteral("-n"),
                                QStringLiteral("--exit-idle-time=-1"),
                                QStringLiteral("--load=module-null-sink sink_name=null "
                                               "norewinds=1"),
                                QStringLiteral("--load=module-native-protocol-unix")}));
        QVERIFY(m_pulse.waitForStarted());
        QVERIFY(testaudio::waitFor(
            [this] {
                QProcess info;
                info.start(QStringLiteral("setpriv"),
                           asNobody(QStringLiteral("pactl"), {QStringLiteral("info")}));
                return info.waitForFinished(5000) && info.exitCode() == 0;
            },
            20000));

        Form1 layout;
        layout.show();
        QApplication::processEvents();
        const auto centreOf = [&layout](const QWidget* widget) {
            return widget->mapTo(&layout, widget->rect().center());
        };
        m_save = centreOf(layout.CommandBars->widgetForAction(layout.ctlSaveCuttedAudio));
        m_play = centreOf(layout.cmdPlay);
        m_beginCut = centreOf(layout.cmdBeginCut);
        m_endCut = centreOf(layout.cmdEndCut);
        m_strip = QRect(layout.PicWave->mapTo(&layout, QPoint(0, 0)), layout.PicWave->size());
        layout.close();
    }

    void cleanupTestCase() {
        if (m_pulse.state() != QProcess::NotRunning) {
            m_pulse.terminate();
            if (!m_pulse.waitForFinished(5000))
                m_pulse.kill();
        }
    }

    void opensSavesAndLeavesTheTreeAlone() {
        const QStringList before = snapshot(tree());
        const QString programFolder = tree() + QStringLiteral("/usr/lib/quillet");

        QProcess quillet;
        const Reaper reaper{quillet};
        quillet.setProcessChannelMode(QProcess::ForwardedChannels);
        quillet.start(QStringLiteral("setpriv"),
                      asNobody(tree() + QStringLiteral("/usr/bin/quillet"),
                               {home(QStringLiteral("tune.mp3"))}));
        QVERIFY(quillet.waitForStarted());
        // setpriv and env replace themselves with the program, so the process id is its own.
        const QString window = waitForWindow(quillet.processId(), QStringLiteral("Quillet"));
        QVERIFY2(!window.isEmpty(), "the program showed no window");
        QVERIFY2(
            testaudio::waitFor(
                [&] { return strokePixels(grab(window, m_root.path()), m_strip) > 200; }, 30000),
            "the file named on the command line did not load");

        QVERIFY(QFile::exists(dataFolder() + QStringLiteral("/temp.wav")));
        QVERIFY(!QFile::exists(programFolder + QStringLiteral("/temp.wav")));

        click(window, m_play);
        QTest::qWait(1200);
        click(window, m_beginCut);
        QTest::qWait(2200);
        click(window, m_endCut);
        QTest::qWait(300);
        click(window, m_save);
        QVERIFY2(answerBox(quillet, QStringLiteral("Done Saved")), "no Done Saved box");
        const QString output = home(QStringLiteral("out/tune_cutted.wav"));
        const double seconds = testaudio::decodedSeconds(output, 44100);
        QVERIFY2(std::round(seconds) >= 1 && std::round(seconds) <= 4,
                 qPrintable(QString::number(seconds)));
        QVERIFY(!QFile::exists(dataFolder() + QStringLiteral("/coder.exe")));

        // SIGTERM closes the window as a close would.
        quillet.terminate();
        QVERIFY(quillet.waitForFinished(15000));
        QCOMPARE(quillet.exitStatus(), QProcess::NormalExit);
        QVERIFY(!QFile::exists(dataFolder() + QStringLiteral("/temp.wav")));
        QCOMPARE(snapshot(tree()), before);
    }

    // A home the user cannot write either: the program says so in a box and ends once it is
    // answered, creating nothing.
    void neitherFolderWritableIsRefused() {
        const QStringList before = snapshot(tree());
        QProcess quillet;
        const Reaper reaper{quillet};
        quillet.start(QStringLiteral("setpriv"),
                      asNobody(tree() + QStringLiteral("/usr/bin/quillet"), {},
                               QStringLiteral("/proc/no-home")));
        QVERIFY(quillet.waitForStarted());
        const QString box = waitForWindow(quillet.processId(), QStringLiteral("Quillet"));
        QVERIFY2(!box.isEmpty(), "no box");
        bool ended = false;
        for (int i = 0; i < 10 && !ended; ++i) {
            focus(box);
            key(QStringLiteral("Return"));
            ended = quillet.waitForFinished(1000);
        }
        QVERIFY2(ended, "the program went on after the box");
        QCOMPARE(quillet.exitCode(), 1);
        QCOMPARE(snapshot(tree()), before);
    }
};

QTEST_MAIN(TestInstalledRun)
#include "test_installed_run.moc"
