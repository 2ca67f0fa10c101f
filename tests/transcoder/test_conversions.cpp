// codec.dll's conversions into temp.wav of sound and damaged inputs, judged on their samples
// against what FFmpeg decodes of the same input; decoding on every core against one core.
#include "tests/support/test_support.h"
#include "tests/support/wav_bytes.h"

#include <QDir>

using namespace testaudio;

namespace {
// What the input is made of beyond FFmpeg's own encoding of a 2 s tone.
enum class Input {
    Sound,
    ChunkBeforeData, // tags make FFmpeg write a LIST chunk before a WAV's data
    JoinedRates,     // 5 s of MP3 at 22050 Hz, then 5 s at 44100 Hz, byte by byte
    LyingRate,       // FLAC whose STREAMINFO says 24000 Hz over 48 kHz frames
    Truncated,       // a WAV that ends inside its data
};

struct Measure {
    double toneDb = 0; // the tone away from the ends
    float endPeak = 0; // over the last 2 ms
    qsizetype frames = 0;
    QString text() const {
        return QString::asprintf("%.1f dB, %lld frames, end %.3f", toneDb, qint64(frames), endPeak);
    }
};
Measure measure(const Audio& a) {
    Measure m{a.frames() ? -400.0 : 0.0, 0, a.frames()};
    const int r = a.rate;
    for (const auto& s : a.channels) {
        for (qsizetype i = std::max<qsizetype>(0, m.frames - r / 500); i < m.frames; ++i)
            m.endPeak = std::max(m.endPeak, std::abs(s[i]));
        m.toneDb = std::max(m.toneDb, worstToneWindowDb(s, r, r / 20, m.frames - r / 20));
    }
    return m;
}

bool makeInput(const QString& in, Input input, int rate, int channels) {
    const bool amr = in.endsWith(".amr");
    QStringList encoder{"-b:a", amr ? "12.2k" : "128k"}; // codec: FFmpeg's choice
    const QString low = in + ".22050.mp3", high = in + ".44100.mp3";
    if (input == Input::JoinedRates)
        return tone(low, 22050, 2, 5, encoder) && tone(high, 44100, 2, 5, encoder) &&
               !wavbytes::write(in, contents(low) + contents(high)).isEmpty();
    if (input == Input::ChunkBeforeData)
        encoder += {"-metadata", "title=tone"};
    if (!tone(in, input == Input::LyingRate ? 48000 : rate, channels, 2, encoder))
        return false;
    QFile f(in);
    if (input == Input::LyingRate) // STREAMINFO's rate at byte 18
        return f.open(QIODevice::ReadWrite) && f.seek(18) &&
               f.write(QByteArray::fromHex("05dc")) == 2;
    return input != Input::Truncated || f.resize(100000);
}
} // namespace

Q_DECLARE_METATYPE(Input)

class TestConversions : public testaudio::CodecTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(ready());
        QVERIFY(
            ffmpeg({"-f", "lavfi", "-i", "color=red:s=64x64", "-frames:v", "1", src("cover.png")}));
    }

    // A damaged input may deserve a note on standard error, a sound one converts silently. The
    // tone may lie 3 dB above FFmpeg's own decode of a lossy file (a -60 dB floor, inaudible), the
    // length a sample of rounding off; decoders disagree where a stream changes rate, so the
    // joined MP3 is judged by its length only, to an MP3 frame.
    void conversions_data() {
        columns<QString, Input, int, int>({"type", "input", "rate", "channels"});
        const auto add = [](const QString& type, Input input, int rate, int channels,
                            const char* shape = "") {
            QTest::addRow("%s%s-%d-%dch", qPrintable(type), shape, rate, channels)
                << type << input << rate << channels;
        };
        add("mp3", Input::JoinedRates, 44100, 2, "-joined");
        add("flac", Input::LyingRate, 24000, 2, "-lying");
        add("wav", Input::Truncated, 44100, 2, "-truncated");
        for (int rate : {8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000})
            for (const char* type : {"wav", "flac", "wma", "mp3"})
                if (rate <= 48000 || QString(type) == "wav" || QString(type) == "flac")
                    add(type, Input::Sound, rate, 2); // wmav2's and MP3's limit
        for (const char* type : {"wav", "flac", "mp3"})
            add(type, Input::Sound, 22050, 1);
        add("wav", Input::ChunkBeforeData, 22050, 2, "-list");
        add("wav", Input::ChunkBeforeData, 96000, 2, "-list");
        add("amr", Input::Sound, 8000, 1);
    }
    void conversions() {
        QFETCH(QString, type);
        QFETCH(Input, input);
        QFETCH(int, rate);
        QFETCH(int, channels);
        const bool note = input != Input::Sound && input != Input::ChunkBeforeData;
        const bool joined = input == Input::JoinedRates;
        const QString folder = src(QTest::currentDataTag()), in = folder + "/in." + type;
        const QString out = folder + "/ours.wav";
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(makeInput(in, input, rate, channels));
        const Run r = run(kCodec, {"-i", in, "-f", "wav", out});
        const QStringList left = QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden);
        const Measure mine = measure(decode(out));
        const Measure theirs = measure(decode(in, {"-ar", "44100", "-ac", "2"}));
        const QString numbers = QString("\n  ours:   exit %1, %2\n  ffmpeg: %3\n  stderr: %4")
                                    .arg(r.exitCode)
                                    .arg(mine.text(), theirs.text(), r.errors);
        QVERIFY2(left.isEmpty(), qPrintable("left behind: " + left.join(", ")));
        QVERIFY2(r.exitCode == 0 && (r.errors.isEmpty() || note), qPrintable(numbers));
        // The canonical header: PCM, stereo, 44100 Hz, 16-bit, its sizes those of the data.
        QVERIFY2(contents(out).left(44) ==
                     wavbytes::wav(44100, 2, QByteArray(mine.frames * 4, 0)).left(44),
                 qPrintable("header" + numbers));
        QVERIFY2(mine.toneDb <= std::max(-60.0, theirs.toneDb + (joined ? qInf() : 3)),
                 qPrintable("tone" + numbers));
        QVERIFY2(theirs.frames > 0 && std::abs(mine.frames - theirs.frames) <= (joined ? 1152 : 1),
                 qPrintable("length" + numbers));
        // The resampler's last samples come out: the tone lasts to the very end.
        QVERIFY2(mine.endPeak >= theirs.endPeak / 2, qPrintable("end" + numbers));
    }

    // Decoding on every core gives the bytes one core (taskset) gives, wherever the six-second
    // chunks (230 MP3 frames) fall.
    void parallelIsExact_data() {
        columns<QString, double, QStringList>({"name", "seconds", "encoder"});
        const QStringList mp3{"-b:a", "192k"}; // FFmpeg writes MP3 with LAME
        QTest::newRow("tiny mp3") << "tiny.mp3" << 0.1 << mp3;
        for (int frames : {229, 230, 231, 461}) // LAME adds 1105 samples before the first
            QTest::addRow("%d frames", frames)
                << QString("f%1.mp3").arg(frames) << (frames * 1152 - 1105) / 44100.0 << mp3;
        QTest::newRow("vbr mp3") << "vbr.mp3" << 30.0 << QStringList{"-q:a", "4"};
        QTest::newRow("mp3 with a picture") // a picture stream before the audio
            << "cover.mp3" << 20.0
            << QStringList{"-i",   src("cover.png"), "-map",           "0",           "-map", "1",
                           "-c:v", "copy",           "-disposition:v", "attached_pic"} +
                   mp3;
        QTest::newRow("mp3 changing rate") << "joined.mp3" << 0.0 << QStringList{};
        QTest::newRow("24-bit flac at 48000 Hz")
            << "deep.flac" << 40.0 << QStringList{"-ar", "48000", "-sample_fmt", "s32"};
        QTest::newRow("flac of one frame") << "short.flac" << 0.05 << QStringList{};
    }
    void parallelIsExact() {
        QFETCH(QString, name);
        QFETCH(double, seconds);
        QFETCH(QStringList, encoder);
        const QString in = src(name);
        QVERIFY(name == "joined.mp3" ? makeInput(in, Input::JoinedRates, 44100, 2)
                                     : tone(in, 44100, 2, seconds, encoder));
        const Run many = run(kCodec, {"-i", in, "-f", "wav", src("many.wav")});
        const Run one = run("taskset", {"-c", "0", kCodec, "-i", in, "-f", "wav", src("one.wav")});
        QVERIFY(many.exitCode == 0 && one.exitCode == 0);
        const QByteArray a = contents(src("many.wav")), b = contents(src("one.wav"));
        QVERIFY2(b.size() > 44 && a == b,
                 qPrintable(QString("%1 against %2 bytes").arg(a.size()).arg(b.size())));
    }
};

QTEST_GUILESS_MAIN(TestConversions)
#include "test_conversions.moc"
