// What needs no window: the time texts, the names a drop takes, where the working files go, and
// the removal of those a run that ended abruptly left.
#include "app/startup.h"
#include "audio/media_selection.h"
#include "base/format_time.h"
#include "base/working_folder.h"
#include "tests/support/test_support.h"
#include "tests/support/wav_bytes.h"

#include <QDir>
#include <QTemporaryDir>

class TestTextsAndFolders : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private Q_SLOTS:
    // Halves go to the even second; the slider holds 16 bits; the time is a time of day.
    void timeTexts() {
        const std::tuple<double, int, const char*> rows[] = {
            {3599.5, 3600, "01:00:00"}, {3598.5, 3598, "00:59:58"}, {59.5, 60, "00:01:00"},
            {58.5, 58, "00:00:58"},     {12.349, 12, "00:00:12"},   {40000, 32767, "09:06:07"}};
        for (const auto& [seconds, rounded, text] : rows) {
            QCOMPARE(int(roundSeconds(seconds)), rounded);
            QCOMPARE(FormatTime(rounded), QString::fromLatin1(text));
        }
        QCOMPARE(FormatTime(90000), QStringLiteral("01:00:00"));
        QVERIFY(fitsSlider(32767.4) && !fitsSlider(32767.5));
    }

    // The working files go to the program folder while it can be written, else to the user's
    // data folder, made on the way, or nowhere. /proc takes no new files, not even from root.
    void workingFolder_data() {
        columns<QString, QString, QString>({"programFolder", "dataFolder", "expected"});
        const char* const rows[][3] = {{"@/program", "@/data-a", "@/program"},
                                       {"/proc", "@/a/b/data", "@/a/b/data"},
                                       {"@/gone", "@/data-c", "@/data-c"},
                                       {"/proc", "/proc/quillet", ""}};
        for (const auto& row : rows)
            QTest::addRow("%s, %s", row[0], row[1]) << row[0] << row[1] << row[2];
    }
    void workingFolder() {
        QFETCH(QString, programFolder);
        QFETCH(QString, dataFolder);
        QFETCH(QString, expected);
        QVERIFY(QDir().mkpath(dir.filePath("program")));
        dataFolder.replace(u'@', dir.path());
        QCOMPARE(chooseWorkingFolder(programFolder.replace(u'@', dir.path()), dataFolder),
                 expected.replace(u'@', dir.path()));
        // The data folder is made only when it is chosen; the probe leaves nothing behind.
        QCOMPARE(QFileInfo::exists(dataFolder), !expected.isEmpty() && expected == dataFolder);
        QVERIFY(expected.isEmpty() ||
                QDir(expected).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    // Start-up removes what a run that ended abruptly left: temp.wav, its companions, the
    // transcoder and its temporaries.
    void startupRemovesCompanions() {
        const QString folder = dir.filePath("leftovers");
        QVERIFY(QDir().mkpath(folder));
        for (const char* name : {"temp.wav", "temp.wav.tags", "temp.wav.source", "coder.exe",
                                 ".temp.wav.tags.part-a1B2c3", ".temp.wav.part-x9Y8z7"})
            wavbytes::write(folder + "/" + name, "left");
        removeLeftovers(folder);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // A dropped file is taken by the ending of its name, in any letter case.
    void acceptedNames() {
        for (const char* name : {"SONG.MP3", "a.Wma", "b.wav", "c.AMR", "d.flac", "songxmp3"})
            QVERIFY2(isAcceptedAudioName(name), name);
        for (const char* name : {"e.ogg", "f.m4a", "g.mp4", "h.fla"})
            QVERIFY2(!isAcceptedAudioName(name), name);
    }
};

QTEST_MAIN(TestTextsAndFolders)
#include "test_texts_and_folders.moc"
