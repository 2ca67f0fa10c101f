// Start-up of the real window program: the checks that end it before the window shows, and the
// single instance. Boxes of the real program are found and answered on the X display.
#include "app/startup.h"
#include "tests/support/x_session.h"

#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace xsession;

namespace {
const QString kProgram = QStringLiteral(QUILLET_BUILD_DIR "/quillet");

// What the program shows and says, for a failure's message.
QByteArray describe(QProcess& program) {
    QStringList out;
    for (const QString& id : windows(program.processId()))
        out << xdotool({QStringLiteral("getwindowname"), id});
    return QStringLiteral("windows shown: [%1], %2, output: %3")
        .arg(out.join(QStringLiteral(", ")),
             program.state() == QProcess::Running ? QStringLiteral("running")
                                                  : QStringLiteral("ended"),
             QString::fromLocal8Bit(program.readAllStandardError()))
        .toUtf8();
}

// Presses Return in the box, as a person would: focus it, then type. A box that has only just been
// mapped may not take the key yet, so the press is repeated until the program ends.
bool answer(const QString& box, QProcess& program) {
    for (int i = 0; i < 10; ++i) {
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), box});
        xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        if (program.waitForFinished(1000))
            return true;
    }
    return false;
}
} // namespace

// Each run of the real program gets a program folder of its own (a copy of the executable), so
// that its lock and temp.wav meet no other test's.
class TestStartup : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;
    QTemporaryDir m_noSound; // a runtime folder where no sound server lives

    QProcessEnvironment environment(bool withSound) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        if (!withSound) {
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_noSound.path());
            env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent/pulse"));
        }
        return env;
    }

    static QString installIn(const QTemporaryDir& folder) {
        const QString program = folder.filePath(QStringLiteral("quillet"));
        return QFile::copy(kProgram, program) ? program : QString();
    }

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("QUILLET_X_DISPLAY"))
            QSKIP("needs the Xvfb display that scripts/test.sh starts");
        QVERIFY(QFile::exists(kProgram));
        // The program and xdotool both work on the Xvfb display; this test itself stays offscreen.
        qputenv("DISPLAY", qgetenv("QUILLET_X_DISPLAY"));
    }

    void versionChecks_data() {
        QTest::addColumn<uint>("bass");
        QTest::addColumn<uint>("fx");
        QTest::addColumn<QString>("message");
        QTest::newRow("both right") << 0x02040000u << 0x02040102u << QString();
        QTest::newRow("bass 2.3")
            << 0x02030000u << 0x02040000u
            << "An incorrect version of BASS.DLL was loaded (2.4 is required)";
        QTest::newRow("fx 2.5")
            << 0x02040000u << 0x02050000u
            << "An incorrect version of BASS_FX.DLL was loaded (2.4 is required)";
        QTest::newRow("both wrong: bass first")
            << 0x01000000u << 0x01000000u
            << "An incorrect version of BASS.DLL was loaded (2.4 is required)";
    }
    void versionChecks() {
        QFETCH(uint, bass);
        QFETCH(uint, fx);
        QFETCH(QString, message);
        const auto failure = checkLibraryVersions(bass, fx);
        QCOMPARE(failure ? failure->text : QString(), message);
        if (failure) {
            QCOMPARE(failure->style, 16);
            QCOMPARE(failure->title, QString("Quillet"));
        }
    }

    void noSoundDeviceEndsBeforeTheWindowShows() {
        QTemporaryDir folder;
        QProcess quillet;
        const Reaper reaper{quillet};
        quillet.setProcessEnvironment(environment(false));
        quillet.start(installIn(folder));
        QVERIFY(quillet.waitForStarted());
        const QString box = waitForWindow(quillet.processId(), QStringLiteral("Error"));
        QVERIFY2(!box.isEmpty(), describe(quillet));
        // The box waits for its answer, and it is the only window shown.
        QCOMPARE(quillet.state(), QProcess::Running);
        QCOMPARE(windows(quillet.processId()), QStringList{box});
        QVERIFY2(answer(box, quillet), "the program did not end when the box was answered");
        QCOMPARE(quillet.exitStatus(), QProcess::NormalExit);
        QVERIFY(quillet.exitCode() != 0);
    }

    void secondInstanceLeavesTheFirstAlone() {
        QTemporaryDir folder;
        const QString program = installIn(folder);
        QProcess first;
        const Reaper reapFirst{first};
        first.setProcessEnvironment(environment(true));
        first.start(program);
        const QString window = waitForWindow(first.processId(), QStringLiteral("Quillet"));
        QVERIFY2(!window.isEmpty(), describe(first));
        const QString tempWav = folder.filePath(QStringLiteral("temp.wav"));
        QFile working(tempWav);
        QVERIFY(working.open(QIODevice::WriteOnly));
        working.write("the first instance's working copy");
        working.close();

        QProcess second;
        const Reaper reapSecond{second};
        second.setProcessEnvironment(environment(true));
        second.start(program);
        QVERIFY(second.waitForStarted());
        const QString box = waitForWindow(second.processId(), QStringLiteral("Quillet"));
        QVERIFY2(!box.isEmpty(), describe(second));
        QCOMPARE(windows(second.processId()), QStringList{box});
        QVERIFY2(answer(box, second), "the second instance did not end when its box was answered");
        QVERIFY(second.exitCode() != 0);

        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(windows(first.processId()), QStringList{window});
        QVERIFY(working.open(QIODevice::ReadOnly));
        QCOMPARE(working.readAll(), QByteArray("the first instance's working copy"));
        first.terminate();
        QVERIFY(first.waitForFinished(10000));
    }

    // What a crashed run left is removed once the lock is held; SIGTERM and SIGINT close the
    // window as its close button does, and the program ends normally.
    void leftoversGoAndQuitSignalsClose_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void leftoversGoAndQuitSignalsClose() {
        QFETCH(int, signalNumber);
        QTemporaryDir folder;
        const QString program = installIn(folder);
        const QStringList leftovers{"temp.wav", "coder.exe", ".temp.wav.part-Ab12Cd"};
        const QStringList kept{"other.wav", ".other.wav.part-Ab12Cd", ".temp.wav.part-toolong"};
        for (const QString& name : leftovers + kept) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QProcess quillet;
        const Reaper reaper{quillet};
        quillet.setProcessEnvironment(environment(true));
        quillet.start(program);
        QVERIFY2(!waitForWindow(quillet.processId(), QStringLiteral("Quillet")).isEmpty(),
                 describe(quillet));
        for (const QString& name : leftovers)
            QVERIFY2(!QFile::exists(folder.filePath(name)), qPrintable(name));
        for (const QString& name : kept)
            QVERIFY2(QFile::exists(folder.filePath(name)), qPrintable(name));
        ::kill(static_cast<pid_t>(quillet.processId()), signalNumber);
        QVERIFY(quillet.waitForFinished(10000));
        QCOMPARE(quillet.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quillet.exitCode(), 0);
    }

    void unwritableFolderIsRefused() {
        if (geteuid() == 0)
            QSKIP("root can write to any folder");
        std::unique_ptr<QLockFile> lock;
        QVERIFY(claimProgramFolder(QStringLiteral("/proc"), lock).has_value());
    }

    void lockIsExclusive() {
        QTemporaryDir folder;
        std::unique_ptr<QLockFile> first;
        std::unique_ptr<QLockFile> second;
        QVERIFY(!claimProgramFolder(folder.path(), first));
        const auto failure = claimProgramFolder(folder.path(), second);
        QVERIFY(failure.has_value());
        QCOMPARE(failure->text, QString("Quillet is already running."));
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
