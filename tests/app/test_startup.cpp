// Start-up and close of the real program on the Xvfb display, and which folder gets the working
// files: the program folder while it can be written, else the user's data folder.
#include "app/working_folder.h"
#include "tests/support/x_session.h"

#include <csignal>

using namespace xsession;

class TestStartup : public QObject {
    Q_OBJECT
    QTemporaryDir m_root;

private Q_SLOTS:
    // What a crashed run left is removed, and nothing else; a second instance in the same
    // folder is refused with a box and leaves the first alone; SIGTERM and SIGINT close the
    // window as its close button does, and the program ends normally.
    void leftoversGoAndQuitSignalsClose_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void leftoversGoAndQuitSignalsClose() {
        QFETCH(int, signalNumber);
        if (qEnvironmentVariableIsEmpty("QUILLET_X_DISPLAY"))
            QSKIP("needs the Xvfb display that scripts/test.sh starts");
        qputenv("DISPLAY", qgetenv("QUILLET_X_DISPLAY"));
        qputenv("QT_QPA_PLATFORM", "xcb");
        const QTemporaryDir folder; // a program folder of its own: its own lock and temp.wav
        const QString program = folder.filePath("quillet");
        QVERIFY(QFile::copy(QUILLET_BUILD_DIR "/quillet", program));
        const QStringList leftovers{"temp.wav", "coder.exe", ".temp.wav.part-Ab12Cd"};
        const QStringList kept{"other.wav", ".other.wav.part-Ab12Cd", ".temp.wav.part-toolong"};
        for (const QString& name : leftovers + kept)
            QVERIFY(QFile(folder.filePath(name)).open(QIODevice::WriteOnly));
        QProcess first;
        QProcess second;
        const Reaper reapFirst{first};
        const Reaper reapSecond{second};
        first.start(program);
        const QString window = waitForWindow(first.processId(), "Quillet");
        QVERIFY2(!window.isEmpty(), first.readAllStandardError().constData());
        for (const QString& name : leftovers + kept)
            QVERIFY2(QFile::exists(folder.filePath(name)) == kept.contains(name), qPrintable(name));
        second.start(program);
        QVERIFY(second.waitForStarted());
        QVERIFY(answerBox(second, "Quillet"));
        QVERIFY(second.state() == QProcess::NotRunning || second.waitForFinished(10000));
        QVERIFY(second.exitCode() != 0);
        QCOMPARE(windows(first.processId()), QStringList{window});
        ::kill(pid_t(first.processId()), signalNumber);
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
    }

    // "@" stands for this run's temporary folder; /proc takes no new files, not even from
    // root, so it stands for a read-only installed folder.
    void workingFolderChoice_data() {
        QTest::addColumn<QString>("programFolder");
        QTest::addColumn<QString>("dataFolder");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("dataFolderMade");
        QTest::newRow("writable program folder") << "@/program"
                                                 << "@/data-a"
                                                 << "@/program" << false;
        QTest::newRow("read-only program folder") << "/proc"
                                                  << "@/data-b"
                                                  << "@/data-b" << true;
        QTest::newRow("data folder several levels down") << "/proc"
                                                         << "@/home/.local/share/Quillet"
                                                         << "@/home/.local/share/Quillet" << true;
        QTest::newRow("missing program folder") << "@/gone"
                                                << "@/data-c"
                                                << "@/data-c" << true;
        QTest::newRow("neither writable") << "/proc"
                                          << "/proc/quillet"
                                          << "" << false;
        QTest::newRow("no data folder known") << "/proc"
                                              << ""
                                              << "" << false;
    }
    void workingFolderChoice() {
        QFETCH(QString, programFolder);
        QFETCH(QString, dataFolder);
        QFETCH(QString, expected);
        const QString root = m_root.path();
        QVERIFY(QDir().mkpath(root + "/program"));
        dataFolder.replace(u'@', root);
        QCOMPARE(chooseWorkingFolder(programFolder.replace(u'@', root), dataFolder),
                 expected.replace(u'@', root));
        QTEST(!dataFolder.isEmpty() && QFileInfo::exists(dataFolder), "dataFolderMade");
        // The probe leaves nothing behind in the folder it chose.
        QVERIFY(expected.isEmpty() ||
                QDir(expected).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        // A build's program folder can be written: this run keeps temp.wav there.
        QCOMPARE(tempWavPath(), QCoreApplication::applicationDirPath() + "/temp.wav");
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
