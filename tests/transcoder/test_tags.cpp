// Tags and covers from every input kind into every output format, through the real transcoder:
// a conversion keeps them beside temp.wav, a cut of temp.wav writes them in, and ffprobe reads
// them back. Sources are made by FFmpeg, or byte by byte where FFmpeg writes no such tag.
#include "tests/support/test_support.h"
#include "tests/support/wav_bytes.h"
#include "transcoder/tags.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace transcoder;
using testaudio::contents, testaudio::ffmpeg, testaudio::kCodec;
using Fields = QMap<QString, QString>;

namespace {

const QString kTitle = QStringLiteral("Тихая ночь — 夜の歌, café");

int codec(const QStringList& args) {
    return testaudio::run(testaudio::kCodec, args).exitCode;
}

// ffprobe's reading: the file's tags, and per stream its type and picture type.
struct Probe {
    Fields tags;
    QStringList streams; // "audio", "video:Cover (front)"
};
Probe probe(const QString& path) {
    const QStringList args{
        "-v",   "error", "-show_entries", "format_tags:stream=codec_type:stream_tags", "-of",
        "json", path};
    const QJsonObject all =
        QJsonDocument::fromJson(testaudio::run("ffprobe", args).output).object();
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

// ID3v2.2 (three-letter frames, UTF-16 text), the one version FFmpeg does not write.
QByteArray id3v22(const Fields& fields, const QByteArray& jpeg) {
    static const QMap<QString, QByteArray> ids{
        {"title", "TT2"},   {"artist", "TP1"},  {"album", "TAL"}, {"album_artist", "TP2"},
        {"date", "TYE"},    {"track", "TRK"},   {"disc", "TPA"},  {"genre", "TCO"},
        {"comment", "COM"}, {"composer", "TCM"}};
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
        put(ids[it.key()],
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
    static const QMap<QString, QByteArray> keys{
        {"title", "Title"},     {"artist", "Artist"},
        {"album", "Album"},     {"album_artist", "Album Artist"},
        {"date", "Year"},       {"track", "Track"},
        {"disc", "Disc"},       {"genre", "Genre"},
        {"comment", "Comment"}, {"composer", "Composer"}};
    QByteArray items;
    const auto item = [&items](const QByteArray& key, const QByteArray& value, int flags) {
        items += wavbytes::le(value.size(), 4) + wavbytes::le(flags, 4) + key + '\0' + value;
    };
    for (auto it = fields.begin(); it != fields.end(); ++it)
        item(keys[it.key()], it.value().toUtf8(), 0);
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

// Which fields an input kind holds: all of them, none, all but the damaged ones, or what
// ID3v1 and LIST INFO have room for.
enum class Holds { All, None, Damaged, Id3v1, Info };
// What becomes of a conversion's companion before a cut: an untagged file converted after a
// tagged one, or the companion cut short, cut inside the cover, or overwritten.
enum class Damage { Stale, Truncated, CutInCover, Garbage };

} // namespace

Q_DECLARE_METATYPE(Holds)
Q_DECLARE_METATYPE(Damage)

class TestTags : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    Fields full_; // every field, the title in three scripts
    QString src(const QString& name) const { return dir_.filePath(name); }
    // ffmpeg's -metadata options for the fields, keys renamed as the source holds them.
    QStringList metadata(const Fields& fields, const Fields& rename = {}) const {
        QStringList out;
        for (auto it = fields.begin(); it != fields.end(); ++it)
            out << "-metadata" << rename.value(it.key(), it.key()) + "=" + it.value();
        return out;
    }
    QStringList picture(const QString& image) const {
        return QStringList{"-i", src(image), "-map", "0", "-map", "1", "-c:v", "copy"} +
               QStringList{"-disposition:v", "attached_pic", "-metadata:s:v",
                           "comment=Cover (front)"};
    }
    Fields without(const QStringList& keys) const {
        Fields f = full_;
        for (const QString& k : keys)
            f.remove(k);
        return f;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid() && QFile::exists(kCodec));
        full_ = {{"title", kTitle},        {"artist", "Artist A"},
                 {"album", "Album B"},     {"album_artist", "Band C"},
                 {"date", "2019-05-03"},   {"track", "3/9"},
                 {"disc", "1/2"},          {"genre", "Rock"},
                 {"comment", "Comment D"}, {"composer", "Composer E"}};
        const QString lavfi = "color=red:s=320x240";
        // Noise does not compress: 1400 x 1400 of it make a PNG of about 5 MB.
        const QString noise = "color=gray:s=1400x1400,format=rgb24,noise=alls=100:allf=u";
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", lavfi, "-frames:v", "1", src("cover.jpg")}));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", lavfi, "-frames:v", "1", src("cover.png")}));
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", noise, "-frames:v", "1", src("big.png")}));
        QVERIFY(contents(src("big.png")).size() > 4'000'000);
        const QStringList mp3{"-c:a", "libmp3lame", "-b:a", "128k"};
        QVERIFY(testaudio::tone(src("plain.mp3"), 44100, 2, 4,
                                mp3 + QStringList{"-id3v2_version", "0"}));
        QVERIFY(testaudio::tone(src("plain.flac"), 44100, 2, 4));
        QVERIFY(testaudio::tone(src("plain.wav"), 44100, 2, 4));
    }

    // Makes each input kind with tags, runs the window's conversion and a cut into each output
    // format, and compares what ffprobe reads with what the source and the container hold.
    void travel_data() {
        columns<QString, QString, QString, Holds, double, double>(
            {"input", "cover", "output", "holds", "least", "most"});
        const std::tuple<const char*, const char*, Holds> inputs[] = {
            {"mp3-id3v2.3", "cover.jpg", Holds::All},
            {"mp3-id3v2.4", "cover.png", Holds::All},
            {"mp3-id3v2.2", "cover.jpg", Holds::All},
            {"mp3-id3v1", "", Holds::Id3v1},
            {"mp3-apev2", "cover.jpg", Holds::All},
            {"flac-vorbis", "cover.png", Holds::All},
            {"flac-id3v2", "", Holds::All},
            {"wma-asf", "", Holds::All},
            {"wav-info", "", Holds::Info},
            {"wav-id3", "cover.jpg", Holds::All},
            {"mp3-big-cover", "big.png", Holds::All},
            {"mp3-damaged", "", Holds::Damaged},
            {"mp3-untagged", "", Holds::None}};
        // The seconds a 2-s cut decodes to: exactly 2 (to a sample at 8000 Hz), WMA one or two
        // codec frames more, AMR within a frame.
        const std::tuple<const char*, double, double> outputs[] = {
            {"mp3", 2 - 1.0 / 8000, 2 + 1.0 / 8000},
            {"wma", 2, 2.1},
            {"wav", 2 - 1.0 / 8000, 2 + 1.0 / 8000},
            {"amr", 2 - 0.021, 2 + 0.021}};
        for (const auto& [in, cover, holds] : inputs)
            for (const auto& [out, least, most] : outputs)
                QTest::addRow("%s -> %s", in, out) << in << cover << out << holds << least << most;
    }
    void travel() {
        QFETCH(QString, input);
        QFETCH(QString, cover);
        QFETCH(QString, output);
        QFETCH(Holds, holds);
        QFETCH(double, least);
        QFETCH(double, most);
        const QString kind = input.section('-', 0, 0), folder = src(input);
        const QString in = folder + "/in." + kind, temp = folder + "/temp.wav";
        // ID3v1 and LIST INFO have no album artist, disc or composer.
        Fields source = holds == Holds::All       ? full_
                        : holds == Holds::None    ? Fields{}
                        : holds == Holds::Damaged ? without({"title", "track"})
                                                  : without({"album_artist", "disc", "composer"});
        if (holds == Holds::Id3v1) // 30 Latin-1 letters, a number for the track and for the genre
            source["title"] = "Silent Night", source["track"] = "3";
        if (holds == Holds::Id3v1 || input == "mp3-id3v2.2") // a year of four digits, no day
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
            output == "amr"
                ? QStringList{"-acodec", "amr_nb", "-ar", "8000", "-ab", "", "12.2k", "-ac", "1"}
                : QStringList{"-ab", "128", "-ar", "44100", "-ac", "2"};
        QCOMPARE(codec(QStringList{"-i", temp, "-t", "00:00:02", "-ss", "00:00:01"} + settings +
                       QStringList{out}),
                 0);
        // The sound is whole.
        const double seconds = testaudio::decodedSeconds(out, 8000);
        QVERIFY2(seconds >= least && seconds <= most, qPrintable(QString::number(seconds)));
        QCOMPARE(QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden), QStringList());

        // What the output container holds of the source's fields, under the names ffprobe gives.
        const QMap<QString, QStringList> holdsByFormat{
            {"mp3", full_.keys()},
            {"wma", full_.keys()},
            {"wav", {"title", "artist", "album", "date", "genre", "comment", "track"}},
            {"amr", {}}};
        Fields expected;
        for (const QString& key : holdsByFormat[output])
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
        columns<Damage>({"damage"});
        QTest::newRow("untagged after tagged") << Damage::Stale;
        QTest::newRow("truncated") << Damage::Truncated;
        QTest::newRow("cut in the cover") << Damage::CutInCover;
        QTest::newRow("garbage") << Damage::Garbage;
    }
    void staleAndDamagedCompanions() {
        QFETCH(Damage, damage);
        const QString folder = src(QStringLiteral("companion ") + QTest::currentDataTag());
        const QString temp = folder + "/temp.wav";
        QVERIFY(QDir().mkpath(folder));
        const QString tagged = folder + "/tagged.mp3";
        QVERIFY(ffmpeg(QStringList{"-i", src("plain.mp3")} + picture("cover.jpg") +
                       metadata(full_) + QStringList{"-c:a", "copy", tagged}));
        QCOMPARE(codec({"-i", tagged, "-f", "wav", temp}), 0);
        const QByteArray companion = contents(temp + ".tags");
        QVERIFY(companion.size() > contents(src("cover.jpg")).size());
        switch (damage) {
        case Damage::Stale:
            QCOMPARE(codec({"-i", src("plain.wav"), "-f", "wav", temp}), 0);
            break;
        case Damage::Truncated:
            wavbytes::write(temp + ".tags", companion.chopped(1));
            break;
        case Damage::CutInCover:
            wavbytes::write(temp + ".tags", companion.left(companion.size() - 100));
            break;
        case Damage::Garbage:
            wavbytes::write(temp + ".tags", QByteArray(companion.size(), 'x'));
            break;
        }
        QCOMPARE(QFile::exists(temp + ".tags"), damage != Damage::Stale);
        const QString out = folder + "/cut.mp3";
        QCOMPARE(codec({"-i", temp, "-t", "00:00:02", "-ss", "00:00:01", "-ab", "128", "-ar",
                        "44100", "-ac", "2", out}),
                 0);
        QCOMPARE(probe(out).tags, Fields());
        QCOMPARE(probe(out).streams, QStringList{"audio"});
        QVERIFY(std::abs(testaudio::decodedSeconds(out, 8000) - 2) <= 1.0 / 8000);
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
    bool make(const QString& input, const QString& in, const Fields& fields, const QString& image) {
        const QStringList mp3{"-c:a", "copy"};
        const QStringList image2 = image.isEmpty() ? QStringList{} : picture(image);
        const QString plain = src("plain.mp3");
        if (input == "mp3-id3v2.3" || input == "mp3-id3v2.4" || input == "mp3-big-cover")
            return ffmpeg(QStringList{"-i", plain} + image2 + metadata(fields) + mp3 +
                          QStringList{"-id3v2_version", input.endsWith("3") ? "3" : "4", in});
        if (input == "mp3-id3v1") // FFmpeg writes ID3v1 only along with ID3v2
            return !wavbytes::write(in, contents(plain) + id3v1(fields)).isEmpty();
        if (input == "mp3-id3v2.2")
            return !wavbytes::write(in, id3v22(fields, contents(src(image))) + contents(plain))
                        .isEmpty();
        if (input == "mp3-apev2")
            return !wavbytes::write(in, contents(plain) + apev2(fields, contents(src(image))))
                        .isEmpty();
        if (input == "mp3-damaged") { // a title not UTF-8, a track frame running past the tag
            const QString tagged = in + ".v4.mp3";
            if (!ffmpeg(QStringList{"-i", plain} + metadata(full_) + mp3 +
                        QStringList{"-id3v2_version", "4", tagged}))
                return false;
            QByteArray bytes = contents(tagged);
            const qsizetype title = bytes.indexOf("TIT2"), track = bytes.indexOf("TRCK");
            bytes.replace(title + 11, 4, "\xFF\xFE\xFF\xFE");
            bytes.replace(track + 4, 4, "\x7F\x7F\x7F\x70");
            return !wavbytes::write(in, bytes).isEmpty();
        }
        if (input == "mp3-untagged")
            return QFile::copy(plain, in);
        if (input == "flac-vorbis")
            return ffmpeg(QStringList{"-i", src("plain.flac")} + image2 + metadata(fields) +
                          QStringList{"-c:a", "copy", in});
        if (input == "flac-id3v2" || input == "wav-id3") {
            const QString tagged = in + ".v4.mp3";
            if (!ffmpeg(QStringList{"-i", plain} + image2 + metadata(fields) + mp3 +
                        QStringList{"-id3v2_version", "4", tagged}))
                return false;
            const QByteArray id3 = leadingId3(contents(tagged));
            if (input == "flac-id3v2")
                return !wavbytes::write(in, id3 + contents(src("plain.flac"))).isEmpty();
            const QByteArray wav = contents(src("plain.wav"));
            return !wavbytes::write(in, wavbytes::riff(wav.mid(12) + wavbytes::chunk("id3 ", id3)))
                        .isEmpty();
        }
        if (input == "wma-asf") // ASF has no date of its own: WM/Year
            return ffmpeg(QStringList{"-i", plain} + metadata(fields, {{"date", "WM/Year"}}) +
                          QStringList{"-c:a", "wmav2", in});
        return ffmpeg(QStringList{"-i", src("plain.wav")} + metadata(fields) + QStringList{in});
    }
};

QTEST_GUILESS_MAIN(TestTags)
#include "test_tags.moc"
