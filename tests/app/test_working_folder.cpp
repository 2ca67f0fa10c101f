// Which folder gets the working files: the program folder while it can be written, else the
// user's data folder, created on the way, and nothing when neither can be written.
#include "app/startup.h"
#include "app/working_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// /proc takes no new files, not even from root, so it stands for a read-only installed folder.
const QString kUnwritable = QStringLiteral("/proc");
} // namespace

class TestWorkingFolder : public QObject {
    Q_OBJECT
    QTemporaryDir m_root;

    // "@root" stands for the temporary folder of this run, so that the table reads as paths.
    QString resolve(const QString& path) const {
        QString resolved = path;
        return resolved.replace(QStringLiteral("@root"), m_root.path());
    }

private Q_SLOTS:
    void choice_data() {
        QTest::addColumn<QString>("programFolder");
        QTest::addColumn<QString>("dataFolder");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("dataFolderMade");
        QTest::newRow("writable program folder") << "@root/program"
                                                 << "@root/data-a"
                                                 << "@root/program" << false;
        QTest::newRow("read-only program folder") << kUnwritable << "@root/data-b"
                                                  << "@root/data-b" << true;
        QTest::newRow("data folder several levels down")
            << kUnwritable << "@root/home/.local/share/Quillet"
            << "@root/home/.local/share/Quillet" << true;
        QTest::newRow("missing program folder") << "@root/gone"
                                                << "@root/data-c"
                                                << "@root/data-c" << true;
        QTest::newRow("neither writable") << kUnwritable << kUnwritable + "/quillet"
                                          << "" << false;
        QTest::newRow("no data folder known") << kUnwritable << ""
                                              << "" << false;
    }

    void choice() {
        QFETCH(QString, programFolder);
        QFETCH(QString, dataFolder);
        QFETCH(QString, expected);
        QFETCH(bool, dataFolderMade);
        QVERIFY(QDir().mkpath(m_root.filePath(QStringLiteral("program"))));
        programFolder = resolve(programFolder);
        dataFolder = resolve(dataFolder);

        QCOMPARE(chooseWorkingFolder(programFolder, dataFolder), resolve(expected));
        if (!dataFolder.isEmpty())
            QCOMPARE(QFileInfo::exists(dataFolder), dataFolderMade);
        // The probe leaves nothing behind in the folder it chose.
        if (!expected.isEmpty())
            QCOMPARE(QDir(resolve(expected))
                         .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     QStringList());
    }

    void writability_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("writable");
        QTest::newRow("temporary folder") << "@root" << true;
        QTest::newRow("proc") << kUnwritable << false;
        QTest::newRow("missing") << "@root/missing" << false;
        QTest::newRow("empty") << "" << false;
    }

    void writability() {
        QFETCH(QString, folder);
        QFETCH(bool, writable);
        QCOMPARE(folderWritable(resolve(folder)), writable);
    }

    // A build's program folder is writable, so this run keeps its working files there.
    void writableProgramFolderKeepsTempWav() {
        QCOMPARE(workingFolder(), QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
        QCOMPARE(tempWavPath(),
                 QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("temp.wav")));
    }

    void refusalNamesBothFolders() {
        const StartupFailure failure =
            noWorkingFolder(QStringLiteral("/usr/lib/quillet"), QStringLiteral("/home/u/data"));
        QVERIFY(failure.text.contains(QStringLiteral("/usr/lib/quillet")));
        QVERIFY(failure.text.contains(QStringLiteral("/home/u/data")));
    }
};

QTEST_MAIN(TestWorkingFolder)
#include "test_working_folder.moc"
