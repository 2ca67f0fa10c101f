// Which folder gets the working files: the program folder while it can be written, else the
// user's data folder, made on the way, and none when neither can be written.
#include "app/working_folder.h"

#include <QTemporaryDir>
#include <QtTest>

class TestWorkingFolder : public QObject {
    Q_OBJECT
    QTemporaryDir m_root;

private Q_SLOTS:
    // "@" stands for this run's temporary folder; /proc takes no new files, not even from
    // root, so it stands for a read-only installed folder.
    void choice_data() {
        QTest::addColumn<QString>("programFolder");
        QTest::addColumn<QString>("dataFolder");
        QTest::addColumn<QString>("expected");
        QTest::newRow("writable program folder") << "@/program"
                                                 << "@/data-a"
                                                 << "@/program";
        QTest::newRow("read-only program folder") << "/proc"
                                                  << "@/a/b/data"
                                                  << "@/a/b/data";
        QTest::newRow("missing program folder") << "@/gone"
                                                << "@/data-c"
                                                << "@/data-c";
        QTest::newRow("neither writable") << "/proc"
                                          << "/proc/quillet"
                                          << "";
        QTest::newRow("no data folder known") << "/proc"
                                              << ""
                                              << "";
    }
    void choice() {
        QFETCH(QString, programFolder);
        QFETCH(QString, dataFolder);
        QFETCH(QString, expected);
        const QString root = m_root.path();
        QVERIFY(QDir().mkpath(root + "/program"));
        dataFolder.replace(u'@', root);
        QCOMPARE(chooseWorkingFolder(programFolder.replace(u'@', root), dataFolder),
                 expected.replace(u'@', root));
        // The data folder is made only when it is chosen; the probe leaves nothing behind.
        QCOMPARE(QFileInfo::exists(dataFolder), !expected.isEmpty() && expected == dataFolder);
        QVERIFY(expected.isEmpty() ||
                QDir(expected).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        // A build's program folder can be written: this run keeps temp.wav there.
        QCOMPARE(tempWavPath(), QCoreApplication::applicationDirPath() + "/temp.wav");
    }
};

QTEST_MAIN(TestWorkingFolder)
#include "test_working_folder.moc"
