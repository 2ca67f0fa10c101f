// The output folder and name a save is refused for, before anything is encoded.
#include "cutter/output_checks.h"
#include "tests/support/test_support.h"

#include <QDir>
#include <QTemporaryDir>

class TestOutputChecks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The folder /m: whether it is a folder, writable, the longest name it takes in bytes.
    void outputProblem_data() {
        const QString name = "song_cutted.mp3", path = "/m/" + name; // 15 bytes
        const QString accented = QString(8, QChar(0xe9)) + ".mp3";   // 12 letters in 20 bytes
        const QString longPath = "/m/" + accented, quoted = "/m/a\"b_cutted.mp3";
        const QString settings = ". Please choose another one on the Settings page.";
        const QString missing = "The output folder /m does not exist" + settings;
        const QString readOnly = "The output folder /m cannot be written" + settings;
        const QString tooLong =
            "The name of the cut is too long for the output folder, which takes names of up to %1 "
            "bytes:\n%2\nPlease give the opened file a shorter name.";
        const QString quote = "The output name /m/a\"b_cutted.mp3 holds a double quote (\"), which "
                              "the transcoder cannot be given.";
        columns<OutputFolder, QString, QString>({"folder", "outputPath", "problem"});
        const std::tuple<const char*, OutputFolder, QString, QString> rows[] = {
            {"fits", {"/m", true, true, 255}, path, ""},
            {"no folder", {"/m", false, true, 255}, path, missing},
            {"read-only folder", {"/m", true, false, 255}, path, readOnly},
            {"name as long as the folder takes", {"/m", true, true, 15}, path, ""},
            {"name a byte longer", {"/m", true, true, 14}, path, tooLong.arg(14).arg(name)},
            {"name long in bytes", {"/m", true, true, 19}, longPath, tooLong.arg(19).arg(accented)},
            {"double quote", {"/m", true, true, 255}, quoted, quote},
            {"no folder comes first", {"/m", false, false, 1}, quoted, missing}};
        for (const auto& [tag, folder, outputPath, problem] : rows)
            QTest::newRow(tag) << folder << outputPath << problem;
    }
    void outputProblem() {
        QFETCH(OutputFolder, folder);
        QFETCH(QString, outputPath);
        QTEST(::outputProblem(folder, outputPath), "problem");
    }
    // What the disk says: a folder, a missing one, a file where the folder should be.
    void outputFolderOf() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QFile(dir.filePath("file")).open(QIODevice::WriteOnly));
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
