// Tags and covers from every input kind (made by FFmpeg, or byte by byte where it writes no such
// tag) kept beside temp.wav by a conversion, written into each format by a cut, read by ffprobe.
#include "tests/support/test_support.h"
#include "tests/support/wav_bytes.h"
#include "transcoder/tags.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace transcoder;
using namespace testaudio;
using Fields = QMap<QString, QString>;

namespace {
const QString kTitle = QStringLiteral("Тихая ночь — 夜の歌, café");

// ffprobe's reading: the file's tags, and per stream its type and picture type.
struct Probe {
    Fields tags;
    QStringList streams; // "audio", "video:Cover (front)"
};
Probe probe(const QString& path) {
    const QStringList args{"-v",   "error",         "-of",
                           "json", "-show_entries", "format_tags:stream=codec_type:stream_tags",
                           path};
    const QJsonObject all = QJsonDocument::fromJson(run("ffprobe", args).output).object();
    Probe out;
    const QJsonObject tags = all["format"].toObject()["tags"].toObject();
    for (auto it = tags.begin(); it != tags.end(); ++it)
        if (it.key() != "encoder")
            out.tags[it.key()] = it.value().toString();
    for (const QJsonValue& s : all["streams"].toArray()) {
        const QString comment = s["tags"].toObject()["comment"].toString();
        out.streams << s["codec_type"].toString() + (comment.isEmpty() ? "" : ":" + comment);
    }
    return out;
}

// The attached picture's bytes as the file holds them.
QByteArray coverOf(const QString& path) {
    const QString out = path + ".cover";
    QFile::remove(out);
    ffmpeg({"-i", path, "-map", "0:v", "-c", "copy", "-frames:v", "1", "-f", "image2", out});
    return contents(out);
}

// Each field's frame in ID3v2.2 and its key in APEv2.
const QMap<QString, std::pair<QByteArray, QByteArray>> kNames{
    {"title", {"TT2", "Title"}},     {"artist", {"TP1", "Artist"}},
    {"album", {"TAL", "Album"}},     {"album_artist", {"TP2", "Album Artist"}},
    {"date", {"TYE", "Year"}},       {"track", {"TRK", "Track"}},
    {"disc", {"TPA", "Disc"}},       {"genre", {"TCO", "Genre"}},
    {"comment", {"COM", "Comment"}}, {"composer", {"TCM", "Composer"}}};

// ID3v2.2 (three-letter frames, UTF-16 text), the one version FFmpeg does not write.
QByteArray id3v22(const Fields& fields, const QByteArray& jpeg) {
    QByteArray frames;
    const auto put = [&frames](const QByteArray& id, const QByteArray& body) {
        const int n = body.size();
        frames += id + char(n >> 16) + char(n >> 8) + char(n) + body;
    };
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        QByteArray text("\xFF\xFE", 2);
        for (QChar c : it.value())
            text += wavbytes::le(c.unicode(), 2);
        // a comment's encoding, language and empty description (UTF-16) before its text
        put(kNames[it.key()].first,
            QByteArray::fromHex(it.key() == "comment" ? "01656e67fffe0000" : "01") + text);
    }
    if (!jpeg.isEmpty())
        put("PIC", QByteArray("\0JPG\x03\0", 6) + jpeg);
    const int n = frames.size();
    return QByteArray("ID3\x02\0\0", 6) + char(n >> 21 & 0x7F) + char(n >> 14 & 0x7F) +
           char(n >> 7 & 0x7F) + char(n & 0x7F) + frames;
}

// An APEv2 tag (footer only) with the cover as a binary item.
QByteArray apev2(const Fields& fields, const QByteArray& jpeg) {
    QByteArray items;
    const auto item = [&items](const QByteArray& key, const QByteArray& value, int flags) {
        items += wavbytes::le(value.size(), 4) + wavbytes::le(flags, 4) + key + '\0' + value;
    };
    for (auto it = fields.begin(); it != fields.end(); ++it)
        item(kNames[it.key()].second, it.value().toUtf8(), 0);
    if (!jpeg.isEmpty())
        item("Cover Art (Front)", "cover.jpg" + QByteArray(1, '\0') + jpeg, 2);
    const int count = int(fields.size() + !jpeg.isEmpty());
    return items + "APETAGEX" + wavbytes::le(2000, 4) + wavbytes::le(items.size() + 32, 4) +
           wavbytes::le(count, 4) + wavbytes::le(0, 4) + QByteArray(8, '\0');
}

// ID3v1.1: Latin-1 fields of fixed width, the track and the genre (17, Rock) as numbers.
QByteArray id3v1(const Fields& fields) {
    const auto field = [&](const char* key, int width) {
        return fields.value(key).toLatin1().leftJustified(width, '\0', true);
    };
    return "TAG" + field("title", 30) + field("artist", 30) + field("album", 30) +
           field("date", 4) + field("comment", 28) + '\0' + char(fields.value("track").toInt()) +
           char(17);
}

// The ID3v2 tag an MP3 starts with.
QByteArray leadingId3(const QByteArray& mp3) {
    const auto b = [&](int i) { return int(quint8(mp3[i])); };
    return mp3.left(10 + (b(6) << 21 | b(7) << 14 | b(8) << 7 | b(9)));
}

// What becomes of a conversion's companion before a cut; null: an untagged file is converted
// after the tagged one.
using Spoil = QByteArray (*)(const QByteArray&);
} // namespace

Q_DECLARE_METATYPE(Spoil)

class TestTags : public testaudio::CodecTest {
    Q_OBJECT
    Fields full_; // every field, the title in three scripts
    static int codec(const QStringList& args) { return run(kCodec, args).exitCode; }
    // ffmpeg's -metadata options for the fields, keys renamed as the source holds them.
    QStringList metadata(const Fields& fields, const Fields& rename = {}) const {
        QStringList out;
        for (auto it = fields.begin(); it != fields.end(); ++it)
            out << "-metadata" << rename.value(it.key(), it.key()) + "=" + it.value();
        return out;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(ready());
        full_ = {{"title", kTitle},        {"artist", "Artist A"},
                 {"album", "Album B"},     {"album_artist", "Band C"},
                 {"date", "2019-05-03"},   {"track", "3/9"},
                 {"disc", "1/2"},          {"genre", "Rock"},
                 {"comment", "Comment D"}, {"composer", "Composer E"}};
        // Noise does not compress: 1400 x 1400 of it make a PNG of about 5 MB.
        const QString noise = "color=gray:s=1400x1400,format=rgb24,noise=alls=100:allf=u";
        for (const char* cover : {"cover.jpg", "cover.png"})
            QVERIFY(
                ffmpeg({"-f", "lavfi", "-i", "color=red:s=320x240", "-frames:v", "1", src(cover)}));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", noise, "-frames:v", "1", src("big.png")}));
        QVERIFY(contents(src("big.png")).size() > 4'000'000);
        QVERIFY(tone(src("plain.mp3"), 44100, 2, 4,
                     {"-c:a", "libmp3lame", "-b:a", "128k", "-id3v2_version", "0"}));
        QVERIFY(tone(src("plain.flac"), 44100, 2, 4) && tone(src("plain.wav"), 44100, 2, 4));
    }

    // Makes each input kind with tags, runs the window's conversion and a cut into each output
    // format, and compares what ffprobe reads with what the source and the container hold.
    void travel_data() {
        columns<QString, QString, QString>({"input", "cover", "output"});
        const QMap<QString, QString> covers{
            {"mp3-id3v2.3", "cover.jpg"}, {"mp3-id3v2.4", "cover.png"},
            {"mp3-id3v2.2", "cover.jpg"}, {"mp3-apev2", "cover.jpg"},
            {"flac-vorbis", "cover.png"}, {"wav-id3", "cover.jpg"},
            {"mp3-big-cover", "big.png"}};
        const QStringList uncovered{"mp3-id3v1", "flac-id3v2",  "wma-asf",
                                    "wav-info",  "mp3-damaged", "mp3-untagged"};
        for (const QString& in : covers.keys() + uncovered)
            for (const char* out : {"mp3", "wma", "wav", "amr"})
                QTest::addRow("%s -> %s", qPrintable(in), out) << in << covers.value(in) << out;
    }
    void travel() {
        QFETCH(QString, input);
        QFETCH(QString, cover);
        QFETCH(QString, output);
        const QString kind = input.section('-', 0, 0), folder = src(input);
        const QString in = folder + "/in." + kind, temp = folder + "/temp.wav";
        // ID3v1 and LIST INFO have no album artist, disc or composer; the damaged tag loses its
        // title and track.
        const QStringList lost = input == "mp3-damaged" ? QStringList{"title", "track"}
                                 : input == "mp3-id3v1" || input == "wav-info"
                                     ? QStringList{"album_artist", "disc", "composer"}
                                     : QStringList{};
        Fields source = input == "mp3-untagged" ? Fields{} : full_;
        for (const QString& key : lost)
            source.remove(key);
        if (input == "mp3-id3v1") // 30 Latin-1 letters, a number for the track and for the genre
            source["title"] = "Silent Night", source["track"] = "3";
        if (input == "mp3-id3v1" || input == "mp3-id3v2.2") // a year of four digits, no day
            source["date"] = "2019";
        const QByteArray picture = cover.isEmpty() ? QByteArray() : contents(src(cover));
        if (!QFile::exists(temp)) {
            QVERIFY(QDir().mkpath(folder) && make(input, in, source, cover));
            QCOMPARE(codec({"-i", in, "-f", "wav", temp}), 0);
            // temp.wav stays samples only; the tags lie beside it, and only when there are some.
            QCOMPARE(qFromLittleEndian<quint32>(contents(temp).constData() + 40) + 44,
                     quint32(QFileInfo(temp).size()));
            QCOMPARE(QFile::exists(temp + ".tags"), !source.isEmpty() || !picture.isEmpty());
        }
        const QString out = folder + "/cut." + output;
        const QStringList settings =
            output == "amr" ? QStringList{"-acodec", "amr_nb", "-ar", "8000", "-ab",
                                          "",        "12.2k",  "-ac", "1",    out}
                            : QStringList{"-ab", "128", "-ar", "44100", "-ac", "2", out};
        QCOMPARE(codec(QStringList{"-i", temp, "-t", "00:00:02", "-ss", "00:00:01"} + settings), 0);
        // The sound is whole: 2 s to a sample at 8000 Hz, WMA one or two codec frames more, AMR
        // within a frame.
        const double seconds = decodedSeconds(out, 8000),
                     fuzz = output == "amr" ? 0.021 : 1.0 / 8000;
        const double least = output == "wma" ? 2 : 2 - fuzz,
                     most = output == "wma" ? 2.1 : 2 + fuzz;
        QVERIFY2(seconds >= least && seconds <= most, qPrintable(QString::number(seconds)));
        QCOMPARE(QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden), QStringList());
        // What the output container holds of the source's fields, under the names ffprobe gives.
        const QStringList wav{"title", "artist", "album", "date", "genre", "comment", "track"};
        Fields expected;
        for (const QString& key : output == "wav"   ? wav
                                  : output == "amr" ? QStringList{}
                                                    : full_.keys())
            if (source.contains(key))
                expected[key == "date" && output == "wma" ? "WM/Year" : key] = source[key];
        const Probe got = probe(out);
        QCOMPARE(got.tags, expected);
        // Only MP3 holds the cover, byte for byte and as the front cover; no format gets a video.
        const bool withCover = output == "mp3" && !picture.isEmpty();
        const QStringList streams{"audio", "video:Cover (front)"};
        QCOMPARE(got.streams, streams.mid(0, withCover ? 2 : 1));
        if (withCover)
            QVERIFY(coverOf(out) == picture);
        if (output == "wav") // the RIFF size counts the LIST chunk after the data
            QCOMPARE(qFromLittleEndian<quint32>(contents(out).constData() + 4) + 8,
                     quint32(QFileInfo(out).size()));
    }

    // A conversion of an untagged file removes the last file's tags from beside the WAV; a
    // damaged companion is ignored and the cut still saves, without tags.
    void staleAndDamagedCompanions_data() {
        columns<Spoil>({"spoil"});
        QTest::newRow("untagged after tagged") << Spoil(nullptr);
        QTest::newRow("truncated") << Spoil([](const QByteArray& b) { return b.chopped(1); });
        QTest::newRow("cut in the cover")
            << Spoil([](const QByteArray& b) { return b.chopped(100); });
        QTest::newRow("garbage") << Spoil(
            [](const QByteArray& b) { return QByteArray(b.size(), 'x'); });
    }
    void staleAndDamagedCompanions() {
        QFETCH(Spoil, spoil);
        const QString folder = src(QStringLiteral("companion ") + QTest::currentDataTag());
        const QString temp = folder + "/temp.wav", tagged = folder + "/tagged.mp3";
        const QString out = folder + "/cut.mp3";
        QVERIFY(QDir().mkpath(folder) && make("mp3-id3v2.4", tagged, full_, "cover.jpg"));
        QCOMPARE(codec({"-i", tagged, "-f", "wav", temp}), 0);
        const QByteArray companion = contents(temp + ".tags");
        QVERIFY(companion.size() > contents(src("cover.jpg")).size());
        if (spoil)
            wavbytes::write(temp + ".tags", spoil(companion));
        else
            QCOMPARE(codec({"-i", src("plain.wav"), "-f", "wav", temp}), 0);
        QCOMPARE(QFile::exists(temp + ".tags"), spoil != nullptr);
        QCOMPARE(codec({"-i", temp, "-t", "00:00:02", "-ss", "00:00:01", "-ab", "128", "-ar",
                        "44100", "-ac", "2", out}),
                 0);
        QCOMPARE(probe(out).tags, Fields());
        QCOMPARE(probe(out).streams, QStringList{"audio"});
        QVERIFY(std::abs(decodedSeconds(out, 8000) - 2) <= 1.0 / 8000);
    }

    // What a reader keeps of a tag's text.
    void keptTexts_data() {
        columns<QByteArray, QByteArray>({"value", "kept"}); // kept null: dropped
        QTest::newRow("plain") << QByteArray("Rock") << QByteArray("Rock");
        QTest::newRow("blanks trimmed") << QByteArray(" \tRock \r\n") << QByteArray("Rock");
        QTest::newRow("cut at a NUL") << QByteArray("Rock\0junk", 9) << QByteArray("Rock");
        QTest::newRow("Japanese") << QByteArray("夜の歌") << QByteArray("夜の歌");
        QTest::newRow("lines kept") << QByteArray("a\nb") << QByteArray("a\nb");
        QTest::newRow("not UTF-8") << QByteArray("caf\xE9") << QByteArray();
        QTest::newRow("overlong") << QByteArray("\xC0\xAF") << QByteArray();
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << QByteArray();
        QTest::newRow("cut letter") << QByteArray("\xE5\xA4") << QByteArray();
        QTest::newRow("control") << QByteArray("a\1b") << QByteArray();
        QTest::newRow("only blanks") << QByteArray("  ") << QByteArray();
        QTest::newRow("too long") << QByteArray(64 * 1024 + 1, 'a') << QByteArray();
    }
    void keptTexts() {
        QFETCH(QByteArray, value);
        const auto kept = keptText(std::string_view(value.constData(), value.size()));
        QTEST(kept ? QByteArray::fromStdString(*kept) : QByteArray(), "kept");
    }

    // A companion reads back whole; any damage to it and it is not read at all.
    void companionDamage_data() {
        columns<int, int, bool>({"at", "remove", "reads"}); // at < 0: from the end
        QTest::newRow("whole") << 0 << 0 << true;
        QTest::newRow("last byte gone") << -1 << 1 << false;
        QTest::newRow("end mark gone") << -8 << 8 << false;
        QTest::newRow("byte in the cover gone") << -20 << 1 << false;
        QTest::newRow("signature") << 0 << 1 << false;
        QTest::newRow("count") << 8 << 1 << false;
    }
    void companionDamage() {
        QFETCH(int, at);
        QFETCH(int, remove);
        Tags tags;
        tags[TagField::Title] = kTitle.toStdString();
        tags[TagField::Track] = "3/9";
        tags.coverMimeType = "image/png";
        tags.cover = std::string("\x89PNG\0\x01", 6) + std::string(40, 'p');
        std::string bytes = encodeCompanion(tags);
        bytes.erase(at < 0 ? bytes.size() + at : at, remove);
        const auto read = decodeCompanion(bytes);
        QTEST(read.has_value(), "reads");
        QVERIFY(!read || *read == tags);
    }

private:
    // Makes the input kind in, with the fields and the image as its front cover.
    bool make(const QString& input, const QString& in, const Fields& fields, const QString& image) {
        QStringList cover;
        if (!image.isEmpty())
            cover = QStringList{"-i", src(image), "-map", "0", "-map", "1", "-c:v", "copy"} +
                    QStringList{"-disposition:v", "attached_pic", "-metadata:s:v",
                                "comment=Cover (front)"};
        // FFmpeg's tagging of a plain source.
        const auto tag = [&](const char* plain, const Fields& f, const QStringList& options,
                             const Fields& rename = {}) {
            return ffmpeg(QStringList{"-i", src(plain)} + cover + metadata(f, rename) + options);
        };
        const auto put = [&](const QByteArray& b) { return !wavbytes::write(in, b).isEmpty(); };
        const QByteArray mp3 = contents(src("plain.mp3"));
        const QString v4 = in + ".v4.mp3";
        const QStringList toV4{"-c:a", "copy", "-id3v2_version", "4", v4};
        if (input == "mp3-id3v2.3" || input == "mp3-id3v2.4" || input == "mp3-big-cover")
            return tag("plain.mp3", fields,
                       {"-c:a", "copy", "-id3v2_version", input.endsWith("3") ? "3" : "4", in});
        if (input == "mp3-id3v1") // FFmpeg writes ID3v1 only along with ID3v2
            return put(mp3 + id3v1(fields));
        if (input == "mp3-id3v2.2")
            return put(id3v22(fields, contents(src(image))) + mp3);
        if (input == "mp3-apev2")
            return put(mp3 + apev2(fields, contents(src(image))));
        if (input == "mp3-damaged") { // a title not UTF-8, a track frame running past the tag
            if (!tag("plain.mp3", full_, toV4))
                return false;
            QByteArray bytes = contents(v4);
            const qsizetype title = bytes.indexOf("TIT2"), track = bytes.indexOf("TRCK");
            bytes.replace(title + 11, 4, "\xFF\xFE\xFF\xFE");
            bytes.replace(track + 4, 4, "\x7F\x7F\x7F\x70");
            return put(bytes);
        }
        if (input == "mp3-untagged")
            return put(mp3);
        if (input == "flac-vorbis")
            return tag("plain.flac", fields, {"-c:a", "copy", in});
        if (input == "flac-id3v2" || input == "wav-id3") {
            if (!tag("plain.mp3", fields, toV4))
                return false;
            const QByteArray id3 = leadingId3(contents(v4));
            return input == "flac-id3v2" ? put(id3 + contents(src("plain.flac")))
                                         : put(wavbytes::riff(contents(src("plain.wav")).mid(12) +
                                                              wavbytes::chunk("id3 ", id3)));
        }
        if (input == "wma-asf") // ASF has no date of its own: WM/Year
            return tag("plain.mp3", fields, {"-c:a", "wmav2", in}, {{"date", "WM/Year"}});
        return tag("plain.wav", fields, {in});
    }
};

QTEST_GUILESS_MAIN(TestTags)
#include "test_tags.moc"
