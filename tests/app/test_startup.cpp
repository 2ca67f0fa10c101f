// Start-up of the real window program: the checks that end it before the window shows, and the
// single instance. Boxes of the real program are found and answered on the X display.
#include "app/startup.h"

#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kProgram = QStringLiteral(QUILLET_BUILD_DIR "/quillet");

QString xdotool(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The first window of the process with that exact title, waiting up to ten seconds.
QString waitForWindow(qint64 pid, const QString& title) {
    for (int i = 0; i < 100; ++i) {
        const QString ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--pid"), QString::number(pid),
                                     QStringLiteral("--name"), QStringLiteral("^%1$").arg(title)});
        if (!ids.isEmpty())
            return ids.split(QLatin1Char('\n')).first();
        QTest::qWait(100);
    }
    return {};
}
} // namespace

class TestStartup : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;

    QProcessEnvironment environment(bool withSound) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), env.value(QStringLiteral("QUILLET_X_DISPLAY")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        if (!withSound)
            env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent/pulse"));
        return env;
    }

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("QUILLET_X_DISPLAY"))
            QSKIP("needs the Xvfb display that scripts/test.sh starts");
        QVERIFY(QFile::exists(kProgram));
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
        QProcess quillet;
        if (qEnvironmentVariableIsEmpty("QUILLET_X_BOX_TESTS"))
            QSKIP("finding the boxes of the real program on Xvfb is not reliable yet");
        quillet.setProcessEnvironment(environment(false));
        quillet.start(kProgram);
        QVERIFY(quillet.waitForStarted());
        const QString box = waitForWindow(quillet.processId(), QStringLiteral("Error"));
        QVERIFY2(!box.isEmpty(), "no box titled Error");
        QVERIFY(waitForWindow(quillet.processId(), QStringLiteral("Quillet")).isEmpty());
        xdotool({QStringLiteral("key"), QStringLiteral("--window"), box, QStringLiteral("Return")});
        QVERIFY(quillet.waitForFinished(10000));
        QVERIFY(quillet.exitCode() != 0);
    }

    void secondInstanceLeavesTheFirstAlone() {
        QProcess first;
        if (qEnvironmentVariableIsEmpty("QUILLET_X_BOX_TESTS"))
            QSKIP("finding the boxes of the real program on Xvfb is not reliable yet");
        first.setProcessEnvironment(environment(true));
        first.start(kProgram);
        QVERIFY(!waitForWindow(first.processId(), QStringLiteral("Quillet")).isEmpty());

        QProcess second;
        second.setProcessEnvironment(environment(true));
        second.start(kProgram);
        const QString box = waitForWindow(second.processId(), QStringLiteral("Quillet"));
        QVERIFY2(!box.isEmpty(), "the second instance showed no box");
        xdotool({QStringLiteral("key"), QStringLiteral("--window"), box, QStringLiteral("Return")});
        QVERIFY(second.waitForFinished(10000));
        QVERIFY(second.exitCode() != 0);
        QCOMPARE(first.state(), QProcess::Running);
        first.terminate();
        QVERIFY(first.waitForFinished(10000));
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
