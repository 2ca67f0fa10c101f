// The real transcoder on generated files: every input kind to the canonical WAV, the export
// matrix the settings page offers, exact cuts, and every way a run can fail.
#include "tests/support/test_audio.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>

#include <unistd.h>

#include <cmath>

using testaudio::convertWithFfmpeg;
using testaudio::decodedSeconds;

namespace {

const QString kCodec = QStringLiteral(QUILLET_BUILD_DIR "/codec.dll");

struct Run {
    int exitCode;
    QString error;
};

Run codec(const QStringList& args) {
    QProcess p;
    p.start(kCodec, args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardError()).trimmed()};
}

struct Probe {
    QString codec;
    int rate = 0;
    int channels = 0;
};

Probe probe(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
             QStringLiteral("stream=codec_name,sample_rate,channels"), QStringLiteral("-of"),
             QStringLiteral("json"), path});
    p.waitForFinished(10000);
    const QJsonObject s = QJsonDocument::fromJson(p.readAllStandardOutput())
                              .object()[QStringLiteral("streams")]
                              .toArray()
                              .at(0)
                              .toObject();
    return {s[QStringLiteral("codec_name")].toString(),
            s[QStringLiteral("sample_rate")].toString().toInt(),
            s[QStringLiteral("channels")].toInt()};
}

// The first channel of a canonical 16-bit stereo WAV file.
std::vector<std::int16_t> leftChannel(const QByteArray& wav) {
    std::vector<std::int16_t> left;
    for (qsizetype at = 44; at + 4 <= wav.size(); at += 4)
        left.push_back(qFromLittleEndian<std::int16_t>(wav.constData() + at));
    return left;
}

double rms(const std::vector<std::int16_t>& s) {
    double sum = 0;
    for (const auto v : s)
        sum += double(v) * v;
    return s.empty() ? 0 : std::sqrt(sum / s.size());
}

// Upward zero crossings per second: a 1 kHz tone gives about 1000.
double crossingsPerSecond(const std::vector<std::int16_t>& s) {
    int crossings = 0;
    for (std::size_t i = 1; i < s.size(); ++i)
        if (s[i - 1] < 0 && s[i] >= 0)
            ++crossings;
    return s.empty() ? 0 : crossings / (s.size() / 44100.0);
}

QByteArray canonicalHeader(quint32 dataBytes) {
    QByteArray h(44, '\0');
    h.replace(0, 4, "RIFF");
    qToLittleEndian<quint32>(36 + dataBytes, h.data() + 4);
    h.replace(8, 8, "WAVEfmt ");
    qToLittleEndian<quint32>(16, h.data() + 16);
    qToLittleEndian<quint16>(1, h.data() + 20);
    qToLittleEndian<quint16>(2, h.data() + 22);
    qToLittleEndian<quint32>(44100, h.data() + 24);
    qToLittleEndian<quint32>(176400, h.data() + 28);
    qToLittleEndian<quint16>(4, h.data() + 32);
    qToLittleEndian<quint16>(16, h.data() + 34);
    h.replace(36, 4, "data");
    qToLittleEndian<quint32>(dataBytes, h.data() + 40);
    return h;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCodec : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(QFile::exists(kCodec));
        QVERIFY(testaudio::makeTone(path("tone.wav"), 3));
        QVERIFY(testaudio::makeAudio(path("silence.wav"), 3, {"sine", "0", "vol", "0"}));
        QVERIFY(testaudio::makeAudio(path("noise.wav"), 3, {"whitenoise", "vol", "0.5"}, 48000));
        QVERIFY(QProcess::execute("espeak-ng", {"-w", path("speech.wav"),
                                                "Quillet cuts audio files exactly."}) == 0);
        QVERIFY(
            QProcess::execute("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=red:s=64x64",
                                         "-frames:v", "1", path("cover.png")}) == 0);
    }

    // Every input kind becomes 16-bit stereo at 44100 Hz with the canonical header, as long as
    // its source, with its sound intact.
    void conversion_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("ffmpegArgs");
        QTest::addColumn<QString>("kind");
        const auto row = [](const char* tag, const char* source, const char* name, QStringList args,
                            const char* kind) {
            QTest::newRow(tag) << source << name << args << kind;
        };
        row("tone-1k-cbr-id3-cover.mp3", "tone.wav", "cover.mp3",
            {"-i", "COVER", "-map", "0", "-map", "1", "-c:v", "mjpeg", "-id3v2_version", "3",
             "-metadata", "title=Tone", "-b:a", "128k"},
            "tone");
        row("tone-1k-vbr.mp3", "tone.wav", "vbr.mp3", {"-q:a", "4"}, "tone");
        row("tone-1k.wma", "tone.wav", "tone.wma", {"-c:a", "wmav2"}, "tone");
        row("tone-1k-s16.wav", "tone.wav", "s16.wav", {"-c:a", "pcm_s16le"}, "tone");
        row("tone-1k-s24.wav", "tone.wav", "s24.wav", {"-c:a", "pcm_s24le"}, "tone");
        row("tone-1k-float.wav", "tone.wav", "float.wav", {"-c:a", "pcm_f32le"}, "tone");
        row("tone-1k-list-chunk.wav", "tone.wav", "list.wav",
            {"-metadata", "title=Extra chunk", "-metadata", "artist=Quillet"}, "tone");
        row("tone-1k-22050-mono.wav", "tone.wav", "mono.wav", {"-ar", "22050", "-ac", "1"}, "tone");
        row("tone-1k-8000-mono.amr", "tone.wav", "tone.amr",
            {"-ar", "8000", "-ac", "1", "-c:a", "libopencore_amrnb", "-b:a", "12.2k"}, "tone");
        row("tone-1k-s16.flac", "tone.wav", "s16.flac", {}, "tone");
        row("tone-1k-s24.flac", "tone.wav", "s24.flac",
            {"-sample_fmt", "s32", "-bits_per_raw_sample", "24"}, "tone");
        row("silence.mp3", "silence.wav", "silence.mp3", {}, "silence");
        row("noise-48000.flac", "noise.wav", "noise.flac", {}, "noise");
        row("speech.mp3", "speech.wav", "speech.mp3", {}, "speech");
        row("speech.wma", "speech.wav", "speech.wma", {"-c:a", "wmav2"}, "speech");
    }
    void conversion() {
        QFETCH(QString, source);
        QFETCH(QString, name);
        QFETCH(QStringList, ffmpegArgs);
        QFETCH(QString, kind);
        ffmpegArgs.replaceInStrings("COVER", path("cover.png"));
        const QString input = path(name);
        QVERIFY(convertWithFfmpeg(path(source), input, ffmpegArgs));
        const QString output = path("converted " + name + ".wav");
        const Run run = codec({"-i", input, "-f", "wav", output});
        QVERIFY2(run.exitCode == 0, qPrintable(run.error));
        QVERIFY2(run.error.isEmpty(), qPrintable(run.error));

        const QByteArray wav = readAll(output);
        QVERIFY(wav.size() >= 44);
        QCOMPARE(wav.left(44), canonicalHeader(quint32(wav.size() - 44)));
        QCOMPARE((wav.size() - 44) % 4, 0);
        const double seconds = (wav.size() - 44) / 176400.0;
        QVERIFY2(std::abs(seconds - decodedSeconds(input, 44100)) <= 0.01,
                 qPrintable(QString::number(seconds)));

        const std::vector<std::int16_t> left = leftChannel(wav);
        if (kind == "tone") {
            // Half scale: an RMS of 0.5 / sqrt(2) of full scale, at 1 kHz. The narrow-band
            // speech codec keeps the tone but not its full level.
            const double tolerance = name.endsWith(".amr") ? 0.3 : 0.1;
            QVERIFY2(std::abs(rms(left) / 11585.0 - 1.0) < tolerance,
                     qPrintable(QString::number(rms(left))));
            QVERIFY2(std::abs(crossingsPerSecond(left) / 1000.0 - 1.0) < 0.03,
                     qPrintable(QString::number(crossingsPerSecond(left))));
        } else if (kind == "silence") {
            QVERIFY(rms(left) < 10);
        } else {
            QVERIFY2(rms(left) > 300, qPrintable(QString::number(rms(left))));
        }
        QFile::remove(output);
    }

    // Every combination the settings page offers gives a playable file of the expected codec,
    // rate and channels, as long as the stretch.
    void exportMatrix() {
        const QString clip = path("clip.wav");
        QVERIFY(testaudio::makeTone(path("clip-src.wav"), 3));
        QVERIFY(codec({"-i", path("clip-src.wav"), "-f", "wav", clip}).exitCode == 0);
        const QStringList bitRates{"32",  "48",  "56",  "64",  "80",  "96",
                                   "112", "128", "192", "224", "256", "320"};
        const QList<int> rates{48000, 44100, 32000, 24000, 22050, 16000, 12050, 8000};
        QStringList failures;
        int runs = 0;
        const auto check = [&](const QStringList& options, const QString& ext,
                               const QString& codecName, int rate, int channels,
                               double frameSeconds) {
            const QString out = path("matrix." + ext);
            QFile::remove(out);
            const Run run = codec(QStringList{"-i", clip, "-t", "00:00:01", "-ss", "00:00:01"} +
                                  options + QStringList{out});
            const Probe p = probe(out);
            // Decoding every file takes long; every seventh run covers all rates and kinds.
            const double seconds =
                runs++ % 7 == 0 ? decodedSeconds(out, p.rate > 0 ? p.rate : 8000) : 1.0;
            if (run.exitCode != 0 || p.codec != codecName || p.rate != rate ||
                p.channels != channels || std::abs(seconds - 1.0) > frameSeconds + 1e-6)
                failures << QStringLiteral("%1 %2: exit %3 (%4), %5 %6 Hz %7 ch %8 s")
                                .arg(ext, options.join(' '))
                                .arg(run.exitCode)
                                .arg(run.error, p.codec)
                                .arg(p.rate)
                                .arg(p.channels)
                                .arg(seconds);
        };
        for (const int rate : rates)
            for (const int channels : {1, 2}) {
                const QStringList tail{"-ar", QString::number(rate), "-ac",
                                       QString::number(channels)};
                check(QStringList{"-ab", "192"} + tail, "wav", "pcm_s16le", rate, channels, 0);
                for (const QString& bitRate : bitRates) {
                    const QStringList options = QStringList{"-ab", bitRate} + tail;
                    const int mp3Rate = rate == 12050 ? 12000 : rate;
                    check(options, "mp3", "mp3", mp3Rate, channels, 1152.0 / mp3Rate);
                    const int wmaRate = rate == 12050 ? 11025 : rate;
                    check(options, "wma", "wmav2", wmaRate, channels, 2048.0 / wmaRate);
                }
            }
        check({"-acodec", "amr_nb", "-ar", "8000", "-ab", "12.2k", "-ac", "1"}, "amr", "amr_nb",
              8000, 1, 160.0 / 8000);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join('\n')));
    }

    // Where an encoder cannot take a value it says which one it used instead.
    void nearestValueIsReported() {
        const Run run = codec({"-i", path("tone.wav"), "-t", "00:00:01", "-ss", "00:00:00", "-ab",
                               "192", "-ar", "12050", "-ac", "2", path("near.mp3")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.error.contains("12050 Hz, using 12000 Hz"), qPrintable(run.error));
        QCOMPARE(run.error.count('\n'), 0);
    }

    // A WAV stretch is sample-exact: the very bytes of the source from the start mark on.
    void exactCuts_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("length");
        QTest::addColumn<int>("firstSecond");
        QTest::addColumn<int>("seconds");
        QTest::newRow("at the start") << "00:00:00"
                                      << "00:00:02" << 0 << 2;
        QTest::newRow("in the middle") << "00:00:04"
                                       << "00:00:03" << 4 << 3;
        QTest::newRow("at the very end") << "00:00:08"
                                         << "00:00:02" << 8 << 2;
        QTest::newRow("past the end") << "00:00:09"
                                      << "00:00:05" << 9 << 1;
        QTest::newRow("beyond the end") << "00:00:12"
                                        << "00:00:05" << 10 << 0;
    }
    void exactCuts() {
        const QString source = path("ten.wav");
        if (!QFile::exists(source)) {
            QVERIFY(testaudio::makeAudio(path("ten-src.wav"), 10, {"whitenoise", "vol", "0.3"}));
            QVERIFY(codec({"-i", path("ten-src.wav"), "-f", "wav", source}).exitCode == 0);
        }
        QFETCH(QString, start);
        QFETCH(QString, length);
        QFETCH(int, firstSecond);
        QFETCH(int, seconds);
        const QString out = path("exact cut.wav");
        const Run run = codec({"-i", source, "-t", length, "-ss", start, "-ab", "192", "-ar",
                               "44100", "-ac", "2", out});
        QVERIFY2(run.exitCode == 0, qPrintable(run.error));
        const QByteArray cut = readAll(out);
        QCOMPARE(cut.left(44), canonicalHeader(quint32(seconds * 176400)));
        QCOMPARE(cut.mid(44), readAll(source).mid(44 + firstSecond * 176400, seconds * 176400));
    }

    // Blanks and letters beyond ASCII in both paths; an existing output is replaced only by a
    // complete new one; nothing is left behind by a failing run.
    void pathsAndReplacement() {
        const QString folder = path(QString::fromUtf8("Müsik für mich"));
        QVERIFY(QDir().mkpath(folder));
        const QString input = folder + QString::fromUtf8("/Grüße aus Köln.mp3");
        QVERIFY(convertWithFfmpeg(path("tone.wav"), input));
        const QString output = folder + QString::fromUtf8("/Grüße_cutted.mp3");
        QFile old(output);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the user's own file");
        old.close();

        Run run = codec({"-i", folder + "/missing.mp3", "-t", "00:00:01", "-ss", "00:00:00", "-ab",
                         "128", "-ar", "44100", "-ac", "2", output});
        QVERIFY(run.exitCode != 0);
        QCOMPARE(readAll(output), QByteArray("the user's own file"));

        run = codec({"-i", input, "-t", "00:00:01", "-ss", "00:00:01", "-ab", "128", "-ar", "44100",
                     "-ac", "2", output});
        QVERIFY2(run.exitCode == 0, qPrintable(run.error));
        QCOMPARE(probe(output).codec, QStringLiteral("mp3"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void errors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("output");
        const QString out = m_dir.filePath("error out.wav");
        QTest::newRow("input missing") << QStringList{"-i", path("nothing.mp3"), "-f", "wav", out}
                                       << "cannot read the input" << out;
        QTest::newRow("not audio")
            << QStringList{"-i", path("cover.png"), "-f", "wav", out} << "no audio stream" << out;
        QTest::newRow("text file")
            << QStringList{"-i", QStringLiteral(QUILLET_SOURCE_DIR "/README.md"), "-f", "wav", out}
            << "cannot read the input" << out;
        QTest::newRow("folder missing")
            << QStringList{"-i", path("tone.wav"), "-f", "wav", path("none/x.wav")}
            << "does not exist" << path("none/x.wav");
        QTest::newRow("unknown option")
            << QStringList{"-i", path("tone.wav"), "-vn", "1", out} << "unknown option -vn" << out;
        QTest::newRow("malformed time")
            << QStringList{"-i", path("tone.wav"), "-ss", "1:xx", "-t", "00:00:01", out}
            << "malformed time" << out;
    }
    void errors() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QFETCH(QString, output);
        const Run run = codec(args);
        QVERIFY(run.exitCode != 0);
        QVERIFY2(run.error.startsWith("codec: ") && run.error.contains(message),
                 qPrintable(run.error));
        QCOMPARE(run.error.count('\n'), 0);
        QVERIFY(!QFile::exists(output));
        QVERIFY(QDir(m_dir.path()).entryList({"*.part-*"}, QDir::Files | QDir::Hidden).isEmpty());
    }

    void unwritableFolder() {
        if (geteuid() == 0)
            QSKIP("root writes into any folder");
        const QString locked = path("locked");
        QVERIFY(QDir().mkpath(locked));
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
        const Run run = codec({"-i", path("tone.wav"), "-f", "wav", locked + "/x.wav"});
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(run.exitCode != 0);
        QVERIFY2(run.error.contains("not writable"), qPrintable(run.error));
    }
};

QTEST_GUILESS_MAIN(TestCodec)
#include "test_codec.moc"
