// The output folder and name a save is refused for, before anything is encoded.
#include "cutter/output_checks.h"
#include "tests/support/test_support.h"

#include <QDir>
#include <QTemporaryDir>

class TestOutputChecks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void outputProblem_data() {
        const QString name = QStringLiteral("song_cutted.mp3");                    // 15 bytes
        const QString accented = QString(8, QChar(0xe9)) + QStringLiteral(".mp3"); // 20 bytes
        columns<bool, bool, int, QString, QString>(
            {"isFolder", "writable", "maxNameBytes", "outputPath", "problem"});
        QTest::newRow("fits") << true << true << 255 << "/m/" + name << "";
        QTest::newRow("no folder")
            << false << true << 255 << "/m/" + name
            << "The output folder /m does not exist. Please choose another one on the Settings "
               "page.";
        QTest::newRow("read-only folder")
            << true << false << 255 << "/m/" + name
            << "The output folder /m cannot be written. Please choose another one on the "
               "Settings page.";
        QTest::newRow("name as long as the folder takes")
            << true << true << 15 << "/m/" + name << "";
        QTest::newRow("name a byte longer")
            << true << true << 14 << "/m/" + name
            << "The name of the cut is too long for the output folder, which takes names of up "
               "to 14 bytes:\nsong_cutted.mp3\nPlease give the opened file a shorter name.";
        QTest::newRow("name long in bytes, not in characters")
            << true << true << 19 << "/m/" + accented
            << "The name of the cut is too long for the output folder, which takes names of up "
               "to 19 bytes:\n" +
                   accented + "\nPlease give the opened file a shorter name.";
        QTest::newRow("double quote")
            << true << true << 255 << "/m/a\"b_cutted.mp3"
            << "The output name /m/a\"b_cutted.mp3 holds a double quote (\"), which the "
               "transcoder cannot be given.";
        QTest::newRow("no folder comes first")
            << false << false << 1 << "/m/a\"b_cutted.mp3"
            << "The output folder /m does not exist. Please choose another one on the Settings "
               "page.";
    }
    void outputProblem() {
        QFETCH(bool, isFolder);
        QFETCH(bool, writable);
        QFETCH(int, maxNameBytes);
        QFETCH(QString, outputPath);
        const OutputFolder folder{QStringLiteral("/m"), isFolder, writable,
                                  std::size_t(maxNameBytes)};
        QTEST(::outputProblem(folder, outputPath), "problem");
    }

    // What the disk says: a folder, a missing one, a file where the folder should be.
    void outputFolderOf() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile file(dir.filePath("file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const OutputFolder there = ::outputFolderOf(dir.filePath("a_cutted.mp3"));
        QCOMPARE(there.path, QDir(dir.path()).absolutePath());
        QVERIFY(there.isFolder && there.writable);
        QCOMPARE(there.maxNameBytes, std::size_t(255));
        QVERIFY(!::outputFolderOf(dir.filePath("missing/a_cutted.mp3")).isFolder);
        QVERIFY(!::outputFolderOf(dir.filePath("file/a_cutted.mp3")).isFolder);
    }
};

QTEST_GUILESS_MAIN(TestOutputChecks)
#include "test_output_checks.moc"
