// The real transcoder (codec.dll) beyond its sound: progress lines, decoding on every core against
// one, sample-exact cuts, the safety of what it writes and its error messages.
#include "tests/support/signal_check.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace signalcheck;

namespace {
const QString kCodec = QStringLiteral(QUILLET_BUILD_DIR "/codec.dll");
const QStringList kMp3{"-c:a", "libmp3lame", "-b:a", "192k"};

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestTranscoder : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString src(const QString& name) const { return dir_.filePath(name); }
    Run cut(const QString& in, const QString& out, const QString& start = "00:00:00") {
        return run(kCodec, {"-i", in, "-t", "00:00:01", "-ss", start, "-ab", "128", "-ar", "44100",
                            "-ac", "2", out});
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid() && QFile::exists(kCodec));
        std::signal(SIGPIPE, SIG_IGN); // a transcoder that fails early fails the test, not ends it
        QVERIFY(synth(src("tone.wav"), 44100, 2, 2, {"sine", "1000", "vol", "0.5"}));
        QVERIFY(synth(src("half-minute.wav"), 44100, 2, 30, {"sine", "440", "vol", "0.5"}));
        QVERIFY(ffmpeg(
            {"-f", "lavfi", "-i", "color=c=red:s=64x64:d=1", "-frames:v", "1", src("cover.png")}));
    }

    // Decoding on every core gives the bytes one core gives wherever the chunks fall: a run
    // pinned to one processor decodes on one thread. A chunk holds six seconds: 230 MP3 frames.
    void parallelIsExact_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QStringList>("encoder");
        QTest::newRow("tiny mp3") << "tiny.mp3" << 0.1 << kMp3;
        for (int frames : {229, 230, 231, 461}) // LAME adds 1105 samples before the first
            QTest::newRow(qPrintable(QString("%1 frames").arg(frames)))
                << QString("f%1.mp3").arg(frames) << (frames * 1152 - 1105) / 44100.0 << kMp3;
        QTest::newRow("vbr mp3") << "vbr.mp3" << 30.0
                                 << QStringList{"-c:a", "libmp3lame", "-q:a", "4"};
        QTest::newRow("mp3 with a picture") << "cover.mp3" << 20.0 << kMp3;
        QTest::newRow("mp3 changing rate") << "joined.mp3" << 10.0 << kMp3;
        QTest::newRow("24-bit flac at 48000 Hz")
            << "deep.flac" << 40.0
            << QStringList{"-ar", "48000", "-sample_fmt", "s32", "-c:a", "flac"};
        QTest::newRow("flac of one frame") << "short.flac" << 0.05 << QStringList{"-c:a", "flac"};
    }
    void parallelIsExact() {
        QFETCH(QString, name);
        QFETCH(double, seconds);
        QFETCH(QStringList, encoder);
        const QString in = src(name), plain = src("plain-" + name), low = src("low-" + name);
        QVERIFY(tone(plain, 44100, 2, seconds, encoder));
        if (name == "cover.mp3") // a picture stream before the audio
            QVERIFY(ffmpeg({"-i", plain, "-i", src("cover.png"), "-map", "0", "-map", "1", "-c",
                            "copy", "-disposition:v", "attached_pic", in}));
        else if (name == "joined.mp3") // its first half at 22050 Hz, byte for byte before the rest
            QVERIFY(tone(low, 22050, 2, seconds / 2, encoder) &&
                    patchFile(in, 0, contents(low) + contents(plain)));
        else
            QVERIFY(QFile::rename(plain, in));
        const Run many = run(kCodec, {"-i", in, "-f", "wav", src("many.wav")});
        const Run one = run("taskset", {"-c", "0", kCodec, "-i", in, "-f", "wav", src("one.wav")});
        QVERIFY(many.exitCode == 0 && one.exitCode == 0);
        const QByteArray a = contents(src("many.wav")), b = contents(src("one.wav"));
        QVERIFY2(b.size() > 44 && a == b,
                 qPrintable(QString("%1 against %2 bytes").arg(a.size()).arg(b.size())));
    }

    // A source whose sample n holds n - 16000, cut at 8000 Hz mono: exactly the marked samples.
    void exactCuts_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("length");
        QTest::addColumn<int>("first");
        const std::tuple<const char*, const char*, const char*, int> rows[] = {
            {"at the start", "00:00:00", "00:00:01", 0},
            {"in the middle", "00:00:02", "00:00:01", 16000},
            {"at the very end", "00:00:03", "00:00:01", 24000},
            {"past the end", "00:00:03", "00:00:05", 24000}};
        for (const auto& [tag, start, length, first] : rows)
            QTest::newRow(tag) << QString(start) << QString(length) << first;
    }
    void exactCuts() {
        QFETCH(QString, start);
        QFETCH(QString, length);
        QFETCH(int, first);
        const QString ramp = src("ramp.wav"), out = src("cut.wav");
        QVERIFY(QFile::exists(ramp) ||
                ffmpeg({"-f", "lavfi", "-i", "aevalsrc=(n-16000)/32768:s=8000:d=4", "-c:a",
                        "pcm_s16le", ramp}));
        const Run r = run(kCodec, {"-i", ramp, "-t", length, "-ss", start, "-ab", "192", "-ar",
                                   "8000", "-ac", "1", out});
        QVERIFY2(r.exitCode == 0, qPrintable(r.errors));
        // "progress 0.370" lines on standard output, rising to 1 at most.
        double last = 0;
        for (const QString& line : QString::fromUtf8(r.output).split('\n', Qt::SkipEmptyParts)) {
            const double fraction = line.mid(9).toDouble();
            QVERIFY2(line.startsWith("progress ") && fraction >= last && fraction <= 1,
                     qPrintable(line));
            last = fraction;
        }
        QVERIFY(last > 0);
        const QByteArray wav = contents(out);
        // The canonical 44-byte header: PCM, 8000 Hz, mono, 16-bit, 8000 frames of data.
        QCOMPARE(wav.left(44).toHex(), QByteArray("52494646a43e000057415645666d742010000000010001"
                                                  "00401f0000803e00000200100064617461803e0000"));
        const std::vector<float> s = parseWav(wav).channels.at(0);
        QCOMPARE(qsizetype(s.size()), qsizetype(8000));
        QCOMPARE(qRound(s.front() * 32768), first - 16000);
        QCOMPARE(qRound(s.back() * 32768), first + 7999 - 16000);
    }

    // Names with spaces and letters beyond ASCII; a failed run keeps an existing output as it was
    // and leaves no temporary, whether it fails before or after making one.
    void pathsAndFailures() {
        const QString folder = src("Mü sik");
        QVERIFY(QDir().mkpath(folder) && QFile::copy(src("tone.wav"), folder + "/tö ne.wav"));
        const QString out = folder + "/tö ne_cutted.mp3";
        const Run r = cut(folder + "/tö ne.wav", out);
        QVERIFY2(r.exitCode == 0, qPrintable(r.errors));
        const Audio decoded = decode(out);
        QVERIFY(decoded.rate == 44100 && decoded.frames() == 44100);
        const QByteArray before = contents(out);
        QVERIFY(cut(folder + "/missing.wav", out).exitCode > 0);
        QVERIFY(cut(folder + "/tö ne.wav", folder + "/late.wav", "00:01:00").exitCode > 0);
        QCOMPARE(contents(out), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"tö ne.wav", "tö ne_cutted.mp3"}));
    }

    // A link put in place of the hidden temporary while the run goes on receives nothing, and the
    // output still gets all of the audio. The input comes through a pipe so that the run waits, its
    // temporary made, until the link is in place. WAV and ASF patch their header at the end, MP3
    // writes its Xing frame last.
    void linkInPlaceOfTheTemporary_data() {
        QTest::addColumn<QString>("format");
        for (const char* format : {"wav", "wma", "mp3"})
            QTest::newRow(format) << QString(format);
    }
    void linkInPlaceOfTheTemporary() {
        QFETCH(QString, format);
        const QString folder = src("swap-" + format), pipe = folder + "/feed.wav";
        const QString victim = folder + "/victim.txt", out = folder + "/swapped." + format;
        QVERIFY(QDir().mkpath(folder) && ::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        QVERIFY(patchFile(victim, 0, "not for the transcoder"));
        const QByteArray audio = contents(src("half-minute.wav")).left(44 + 10 * 44100 * 4);
        QProcess codec;
        codec.start(kCodec, {"-i", pipe, "-ab", "128", "-ar", "44100", "-ac", "2", out});
        QFile feed(pipe); // opens once the transcoder reads the pipe
        QVERIFY(feed.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QCOMPARE(feed.write(audio.left(audio.size() / 4)), audio.size() / 4);
        QStringList parts;
        QVERIFY(QTest::qWaitFor([&] {
            parts = QDir(folder).entryList({".swapped.*.part-*"}, QDir::Files | QDir::Hidden);
            return !parts.isEmpty();
        }));
        QVERIFY(QFile::link(victim, folder + "/link") &&
                ::rename(QFile::encodeName(folder + "/link").constData(),
                         QFile::encodeName(folder + "/" + parts.first()).constData()) == 0);
        QCOMPARE(feed.write(audio.mid(audio.size() / 4)), audio.size() - audio.size() / 4);
        feed.close();
        QVERIFY(codec.waitForFinished(120000) && codec.exitCode() == 0);
        QCOMPARE(contents(victim), QByteArray("not for the transcoder"));
        // Lossy codecs pad or trim the edges by a few frames of up to 2048 samples.
        const qsizetype frames = decode(out).frames();
        QVERIFY2(format == "wav" ? contents(out).mid(44) == audio.mid(44)
                                 : std::abs(frames - 441000) < 3 * 2048,
                 qPrintable(QString::number(frames)));
    }

    // The reasons a failed load or save shows; nothing is written.
    void errors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing input")
            << QStringList{"-i", "/nonexistent/a.wav", "-f", "wav", "@/o.wav"}
            << "codec: cannot read input '/nonexistent/a.wav': No such file or directory";
        QTest::newRow("no audio") << QStringList{"-i", "@/cover.png", "-f", "wav", "@/o.wav"}
                                  << "codec: no audio stream in '@/cover.png'";
        QTest::newRow("folder missing")
            << QStringList{"-i", "@/tone.wav", "-f", "wav", "@/no/o.wav"}
            << "codec: output folder '@/no' does not exist";
        QTest::newRow("unknown extension") << QStringList{"-i", "@/tone.wav", "@/o.ogg"}
                                           << "codec: cannot tell the output format from '@/o.ogg' "
                                              "(use .mp3, .wma, .wav or .amr, or -f wav)";
    }
    void errors() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Run r = run(kCodec, args.replaceInStrings("@", dir_.path()));
        QVERIFY(r.exitCode > 0);
        QCOMPARE(r.errors, message.replace("@", dir_.path()));
        QVERIFY(!QFile::exists(src("o.wav")));
    }
};

QTEST_GUILESS_MAIN(TestTranscoder)
#include "test_transcoder.moc"
