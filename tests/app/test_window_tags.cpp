// Tags through the real window: the opened file's tags and cover reach its cuts, and go with
// temp.wav, so that a file opened after a tagged one gives cuts without them.
#include "tests/support/wav_bytes.h"
#include "tests/support/window_fixture.h"

#include <QJsonDocument>

namespace {
const QString kTitle = QStringLiteral("Тихая ночь — 夜の歌");

// The title ffprobe reads, and the bytes of the attached picture.
QString title(const QString& path) {
    const QByteArray json = testaudio::run("ffprobe", {"-v", "error", "-show_entries",
                                                       "format_tags=title", "-of", "json", path})
                                .output;
    return QJsonDocument::fromJson(json)["format"]["tags"]["title"].toString();
}
QByteArray cover(const QString& path) {
    testaudio::ffmpeg(
        {"-i", path, "-map", "0:v", "-c", "copy", "-frames:v", "1", "-f", "image2", path + ".jpg"});
    return testaudio::contents(path + ".jpg");
}
} // namespace

class TestWindowTags : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QVERIFY(testaudio::tone(f.path("plain.wav"), 44100, 2, 5));
        QVERIFY(testaudio::ffmpeg(
            {"-f", "lavfi", "-i", "color=red:s=64x64", "-frames:v", "1", f.path("cover.jpg")}));
        QVERIFY(testaudio::tone(f.path("tagged.mp3"), 44100, 2, 5,
                                {"-i", f.path("cover.jpg"), "-map", "0", "-map", "1", "-c:v",
                                 "copy", "-disposition:v", "attached_pic", "-metadata",
                                 "title=" + kTitle, "-c:a", "libmp3lame"}));
        wavbytes::write(f.path("bad.mp3"), "only words");
    }

    // Each step opens a file and, when it loads, saves seconds 1 to 3 as MP3 with the tags of the
    // file open at the time. A loaded file's tags stay while another file opens and after a failed
    // open; they go when a new file takes its place, and with the close.
    void tagsFollowTheOpenedFile() {
        f.steps("saveto=MP3");
        const QString companion = tempWavPath() + ".tags";
        QList<bool> whileLoading; // the companion there at each load's first progress
        connect(w->ProgressBar1, &QProgressBar::valueChanged, w, [&](int value) {
            if (value == 1 && w->ProgressBar1->format() == " Loading...Please Wait.")
                whileLoading << QFile::exists(companion);
        });
        QString loaded;
        for (const QString name : {"tagged.mp3", "plain.wav", "tagged.mp3", "bad.mp3"}) {
            f.messages.clear();
            f.steps("load=" + name);
            QCOMPARE(whileLoading.takeFirst(), loaded == "tagged.mp3");
            loaded = name == "bad.mp3" ? loaded : name;
            QCOMPARE(QFile::exists(companion), loaded == "tagged.mp3");
            if (name == "bad.mp3") {
                QCOMPARE(f.messages.value(0).title, "Error Loading Media");
                continue;
            }
            f.steps("at=1,cmdBeginCut,at=3,cmdEndCut");
            w->CommandBars_Execute(kCmdSaveCuttedAudio);
            const QString cut = f.out() + QFileInfo(name).completeBaseName() + "_cutted.mp3";
            QCOMPARE(f.messages.value(0).title, "Done Saved");
            QCOMPARE(title(cut), name == "tagged.mp3" ? kTitle : QString());
            QCOMPARE(cover(cut), name == "tagged.mp3" ? cover(f.path("tagged.mp3")) : QByteArray());
            QVERIFY(std::abs(testaudio::decodedSeconds(cut, 8000) - 2) <= 1.0 / 8000);
            QFile::remove(cut);
        }
        f.steps("load=tagged.mp3");
        QVERIFY(QFile::exists(companion));
        w->close();
        QVERIFY(!QFile::exists(companion) && !QFile::exists(tempWavPath()));
    }
};

QTEST_MAIN(TestWindowTags)
#include "test_window_tags.moc"
