// The transcoder's pure logic, then the real program (codec.dll) judged on decoded samples.
#include "tests/support/test_support.h"
#include "tests/support/wav_bytes.h"
#include "transcoder/options.h"
#include "transcoder/output_file.h"
#include "transcoder/settings.h"
#include "transcoder/stretch.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <numbers>
#include <span>
#include <sys/stat.h>

using namespace transcoder;
using testaudio::Audio, testaudio::decode, testaudio::tone;

namespace {

struct Run {
    int exitCode = -1; // -1 when the program crashed, could not start or was stopped
    QByteArray output;
    QString errors;
};
struct Lag {
    int samples = 0; // out[i + samples] matches ref[i]: positive when the output is late
    double correlation = 0;
};

// A hang is stopped after timeoutMs and fails the test instead of blocking it.
Run run(const QString& program, const QStringList& args, int timeoutMs = 60000,
        const QStringList& environment = {}) {
    QProcess p;
    p.setEnvironment(QProcess::systemEnvironment() + environment);
    p.start(program, args);
    const bool finished = p.waitForFinished(timeoutMs);
    if (!finished) { // the program may still remove what it was writing; then it is killed
        p.terminate();
        p.waitForFinished(2000);
    }
    return {finished && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError()).trimmed()};
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The worst 5 ms window in [from, to) of what a fitted 1 kHz tone leaves, in dB against the tone:
// about -90 for a clean 16-bit tone, -20 where a click falls, 0 where the tone is missing.
double worstToneWindowDb(std::span<const float> samples, int rate, qsizetype from, qsizetype to) {
    to = std::min(to, qsizetype(samples.size()));
    const qsizetype window = std::max<qsizetype>(8, rate / 200);
    const double w = 2 * std::numbers::pi * 1000 / rate;
    double worst = -400;
    for (qsizetype start = from; start + window <= to; start += window) {
        // y = a sin + b cos solved in closed form; the residual is what the fit leaves of y.
        double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0, yy = 0;
        for (qsizetype n = start; n < start + window; ++n) {
            const double sn = std::sin(w * double(n)), cn = std::cos(w * double(n)), y = samples[n];
            ss += sn * sn, cc += cn * cn, sc += sn * cn, ys += y * sn, yc += y * cn, yy += y * y;
        }
        const double det = ss * cc - sc * sc;
        const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
        const double toneRms = std::sqrt((a * a + b * b) / 2);
        const double residualRms =
            std::sqrt(std::max(yy - a * ys - b * yc, 1e-40) / double(window));
        worst = std::max(worst, toneRms < 1e-6 ? 0.0 : 20 * std::log10(residualRms / toneRms));
    }
    return worst;
}

// The lag in [-maxLag, maxLag] that best correlates out with ref[from, to), normalised.
Lag bestLag(std::span<const float> out, std::span<const float> ref, int maxLag, qsizetype from,
            qsizetype to) {
    to = std::min(to, qsizetype(ref.size()));
    Lag best{0, -2};
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double cross = 0, outEnergy = 0, refEnergy = 0;
        for (qsizetype i = std::max<qsizetype>(from, -lag);
             i < to && i + lag < qsizetype(out.size()); ++i) {
            cross += double(out[i + lag]) * ref[i];
            outEnergy += double(out[i + lag]) * out[i + lag];
            refEnergy += double(ref[i]) * ref[i];
        }
        const double c =
            outEnergy > 0 && refEnergy > 0 ? cross / std::sqrt(outEnergy * refEnergy) : 0;
        if (c > best.correlation)
            best = {lag, c};
    }
    return best;
}

const QStringList kMp3{"-b:a", "192k"}; // FFmpeg writes MP3 with LAME
const QString kCodec = QStringLiteral(QUILLET_BUILD_DIR "/codec.dll");

// An export (format of the output), a conversion or a rejected run (of the input, whose format
// with a suffix names its damage).
struct Case {
    QString kind, format;
    int rate = 0, channels = 0;
    QString name() const {
        return QString("%1-%2-%3-%4ch").arg(kind, format).arg(rate).arg(channels);
    }
    int outRate() const {
        return format == "amr" ? 8000 : format == "mp3" && rate == 12050 ? 12000 : rate;
    }
    int frame() const { // of the output's codec: WMA's grows with the rate, AMR's is 160
        const int wma = outRate() <= 16000 ? 512 : outRate() <= 22050 ? 1024 : 2048;
        return format == "amr" ? 160 : format == "wma" ? wma : 0;
    }
};

QList<Case> allCases() {
    // The slow ones first: today they may run until the hang guard stops them.
    QList<Case> cases{{"reject", "wav-rate", 1, 2},          {"reject", "wav-rate", 7, 2},
                      {"reject", "wav-rate", 1000000000, 2}, {"reject", "wav-eio", 44100, 2},
                      {"convert", "mp3-joined", 44100, 2},   {"convert", "flac-lying", 24000, 2},
                      {"convert", "wav-truncated", 44100, 2}};
    for (const char* format : {"wav", "mp3", "wma"})
        for (int rate : {48000, 44100, 32000, 24000, 22050, 16000, 12050, 8000})
            cases << Case{"export", format, rate, 1} << Case{"export", format, rate, 2};
    cases.append({"export", "amr", 8000, 1});
    for (int rate : {8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000})
        for (const QString format : {"wav", "flac", "wma", "mp3"})
            if (rate <= 48000 || format == "wav" || format == "flac") // wmav2's and MP3's limit
                cases.append({"convert", format, rate, 2});
    for (const char* format : {"wav", "flac", "mp3"})
        cases.append({"convert", format, 22050, 1});
    // A WAV with a chunk before its data (FFmpeg's LIST)
    return cases << Case{"convert", "wav-list", 22050, 2} << Case{"convert", "wav-list", 96000, 2}
                 << Case{"convert", "amr", 8000, 1};
}

struct Measure {
    double toneDb = 0;
    Lag lag;
    qsizetype frames = 0;
    int rate = 0, channels = 0;
    double levelDb = -6; // the loudest channel's tone in dBFS
    float endPeak = 0;   // over the last 2 ms
    QString text() const {
        return QString::asprintf(
            "%.1f dB, %.1f dBFS, lag %d (r=%.3f), %lld frames at %d Hz x%d, end %.3f", toneDb,
            levelDb, lag.samples, lag.correlation, qint64(frames), rate, channels, endPeak);
    }
};

struct Outcome {
    Run ours;
    Measure mine, theirs;
    QStringList leftover; // hidden files (temporaries) in the output folder
};

// Exports: the tone away from the noise, and the lag on the noise against ref (the source
// resampled and cut). Conversions: the tone away from its ends.
Measure measure(const Audio& a, const Case& c, const Audio& ref = {}) {
    Measure m{a.frames() ? -400.0 : 0.0, {}, a.frames(), a.rate, int(a.channels.size())};
    const int r = a.rate;
    // A lossy codec smears a transient over a frame or two either side: judged by start and length.
    const int mp3 = r >= 32000 ? 1152 : 576;
    const int smear = c.kind != "export" ? 0 : c.format == "mp3" ? mp3 : c.frame();
    const qsizetype skip = r / 20 + 2 * smear, head = smear;
    const qsizetype tail = std::min<qsizetype>(3 * r, m.frames) - smear;
    for (std::size_t ch = 0; ch < a.channels.size(); ++ch) {
        const auto& s = a.channels[ch];
        if (c.kind != "export") {
            for (qsizetype i = std::max<qsizetype>(0, m.frames - r / 500); i < m.frames; ++i)
                m.endPeak = std::max(m.endPeak, std::abs(s[i]));
            m.toneDb = std::max(m.toneDb, worstToneWindowDb(s, r, skip, m.frames - skip));
            continue;
        }
        double energy = 0; // over the tone's second before the noise
        for (qsizetype i = head + r / 10; i < r - skip; ++i)
            energy += double(s[i]) * s[i];
        m.levelDb = std::max(ch ? m.levelDb : -400,
                             10 * std::log10(2 * energy / (r - skip - head - r / 10)));
        m.toneDb = std::max({m.toneDb, worstToneWindowDb(s, r, head, r - skip),
                             worstToneWindowDb(s, r, 2 * r + skip, tail)});
        const Lag lag = ch < ref.channels.size()
                            ? bestLag(s, ref.channels[ch], 2560, r + r / 4, r + r / 4 + r / 8)
                            : Lag{};
        if (ch == 0 || std::abs(lag.samples) > std::abs(m.lag.samples))
            m.lag = lag;
    }
    return m;
}

// Makes in, the input of a conversion or a rejected run, in folder.
bool makeInput(const Case& c, const QString& folder, const QString& in) {
    QStringList encoder{"-b:a", c.format == "amr" ? "12.2k" : "128k"}; // codec: FFmpeg's choice
    const QString low = folder + "/22050.mp3", high = folder + "/44100.mp3";
    if (c.format == "mp3-joined") // 5 s at 22050 Hz, then 5 s at 44100 Hz, byte by byte
        return tone(low, 22050, 2, 5, encoder) && tone(high, 44100, 2, 5, encoder) &&
               !wavbytes::write(in, contents(low) + contents(high)).isEmpty();
    if (c.format == "wav-rate") // the rate and byte rate agree on what cannot be played
        return !wavbytes::write(in, wavbytes::wav(c.rate, c.channels, QByteArray(3200, 0)))
                    .isEmpty();
    if (c.format == "wav-list") // tags make FFmpeg write a LIST chunk before the data
        encoder += {"-metadata", "title=tone"};
    if (!tone(in, c.format == "flac-lying" ? 48000 : c.rate, c.channels, 2, encoder))
        return false;
    QFile f(in);
    if (c.format == "flac-lying") // STREAMINFO's rate at byte 18 says 24000 Hz over 48 kHz frames
        return f.open(QIODevice::ReadWrite) && f.seek(18) &&
               f.write(QByteArray::fromHex("05dc")) == 2;
    return c.format != "wav-truncated" || f.resize(100000); // ends inside its data
}

Outcome work(const Case& c, const QString& folder, const QString& source) {
    Outcome o;
    QDir().mkpath(folder);
    const QString rate = QString::number(c.rate), channels = QString::number(c.channels);
    if (c.kind == "export") { // the window's lines; its AMR line has a double blank
        const QString ours = folder + "/ours." + c.format;
        const QStringList args =
            c.format == "amr" ? QStringList{"-acodec", "amr_nb", "-ar", rate, "-ab", "", "12.2k"}
                              : QStringList{"-ab", "192", "-ar", rate};
        o.ours = run(kCodec, QStringList{"-i", source, "-t", "00:00:03", "-ss", "00:00:05"} + args +
                                 QStringList{"-ac", channels, ours});
        // The reference: the source resampled by soxr at full precision, cut at 5 s for 3 s.
        const QString resample = "aresample=%1:resampler=soxr:precision=28,atrim=5:8";
        o.mine = measure(decode(ours), c,
                         decode(source, {"-af", resample.arg(c.outRate()), "-ac", channels}));
        return o;
    }
    const QString type = c.format.section('-', 0, 0), out = folder + "/ours.wav";
    const QString in = folder + (c.format == "wav-eio" ? "/in.eio." : "/in.") + type;
    if (!makeInput(c, folder, in))
        return o;
    o.ours = run(kCodec, {"-i", in, "-f", "wav", out}, c.kind == "reject" ? 10000 : 60000,
                 c.format == "wav-eio" ? QStringList{"LD_PRELOAD=" EIO_SHIM} : QStringList{});
    o.leftover = QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden);
    if (c.kind == "reject")
        return o;
    o.mine = measure(decode(out), c);
    o.theirs = measure(decode(in, {"-ar", "44100", "-ac", "2"}), c);
    return o;
}

} // namespace

class TestTranscoder : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QList<Case> cases_ = allCases();
    std::vector<Outcome> outcomes_;
    QString src(const QString& name) const { return dir_.filePath(name); }

private Q_SLOTS:
    void values_data() {
        // A time in ms or a bit rate in bit/s; -1: refused.
        columns<bool, QString, qint64>({"time", "text", "value"});
        QTest::newRow("65 s") << true << "00:01:05" << qint64(65000);
        QTest::newRow("100 h") << true << "100:59:59" << qint64(363599000);
        QTest::newRow("fraction") << true << "00:00:01.25" << qint64(1250);
        for (const char* bad : {"0:1:5", "00:60:00", "00:00:60", "01:05", "-00:00:01", ""})
            QTest::newRow(bad) << true << bad << qint64(-1);
        QTest::newRow("192") << false << "192" << qint64(192000);
        QTest::newRow("12.2k") << false << "12.2k" << qint64(12200);
        QTest::newRow("rate 0") << false << "0" << qint64(-1);
    }
    void values() {
        QFETCH(bool, time);
        QFETCH(QString, text);
        const std::string s = text.toStdString();
        const auto parsed = time ? parseTimeMs(s) : std::optional<std::int64_t>(parseBitRate(s));
        QTEST(qint64(parsed.value_or(-1)), "value");
    }

    // What an encoder cannot take is fitted to the nearest it can.
    void fits_data() {
        columns<QString, QList<int>, QList<int>>({"output", "wanted", "fitted"}); // Hz, ch, bit/s
        QTest::newRow("mp3 12050") << "a.MP3" << QList{12050, 2, 64000} << QList{12000, 2, 64000};
        QTest::newRow("mp3 22050 192")
            << "a.mp3" << QList{22050, 2, 192000} << QList{22050, 2, 160000};
        QTest::newRow("amr stereo 44100")
            << "a.amr" << QList{44100, 2, 192000} << QList{8000, 1, 12200};
        QTest::newRow("wav any rate") << "a.Wav" << QList{12050, 1, 192000} << QList{12050, 1, 0};
        QTest::newRow("wma low") << "a.wma" << QList{8000, 2, 16000} << QList{8000, 2, 24000};
    }
    void fits() {
        QFETCH(QString, output);
        QFETCH(QList<int>, wanted);
        const auto container = containerFromExtension(output.toStdString());
        QVERIFY(container);
        const auto got = fitToEncoder({*container, wanted[0], wanted[1], wanted[2]}).settings;
        QTEST((QList{got.sampleRate, got.channels, got.bitRate}), "fitted");
    }

    // Sample positions round to the nearest sample: 5 ms at 44100 Hz is 220.5 samples.
    void rounding() {
        QCOMPARE(rescale(5, 44100, 1000), 221);
        QCOMPARE(rescale(std::int64_t{1} << 40, 768000, 1000), (std::int64_t{1} << 40) * 768);
    }

    // A hidden name beside the output within the folder's limit, cut on a letter's boundary.
    void temporaryNames_data() {
        columns<QString, int, QString>({"name", "maxBytes", "temporary"});
        const QString eight = QStringLiteral("音").repeated(8);
        QTest::newRow("short") << "a b.mp3" << 255 << ".a b.mp3.part-XXXXXX";
        QTest::newRow("exactly fits") << "abcdefg.mp3" << 24 << ".abcdefg.mp3.part-XXXXXX";
        QTest::newRow("one byte over") << "abcdefgh.mp3" << 24 << ".abcdefgh.mp.part-XXXXXX";
        QTest::newRow("cut inside a letter")
            << "a" + eight + ".wav" << 25 << ".a音音音.part-XXXXXX";
        QTest::newRow("cut at a letter's end") << "ab" + eight << 27 << ".ab音音音音.part-XXXXXX";
        QTest::newRow("no room") << "abc" << 10 << "..part-XXXXXX";
    }
    void temporaryNames() {
        QFETCH(QString, name);
        QFETCH(int, maxBytes);
        QTEST(QString::fromStdString(temporaryName(name.toStdString(), std::size_t(maxBytes))),
              "temporary");
    }

    void initTestCase() {
        QVERIFY(dir_.isValid() && QFile::exists(kCodec));
        std::signal(SIGPIPE, SIG_IGN); // a transcoder that fails early fails the test, not ends it
        QVERIFY(
            QProcess::execute("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=red:s=64x64",
                                         "-frames:v", "1", src("cover.png")}) == 0);
        // The window's temp.wav: a cut at 5 s for 3 s holds tone, a second of noise (another in
        // each channel), tone. Its last 1000 samples, less than a WMA frame, are silent.
        const QString source = src("temp.wav");
        const QString channel =
            "if(between(t,6,7),%1-0.5,if(gte(n,440000),0,0.5*sin(2*PI*1000*t)))";
        QVERIFY(tone(source, 44100, 1, 10, {},
                     channel.arg("random(0)") + '|' + channel.arg("0*random(0)+random(0)")));
        QThreadPool pool; // the processes' start-up takes most of the time
        pool.setMaxThreadCount(3);
        outcomes_.resize(cases_.size());
        for (qsizetype i = 0; i < cases_.size(); ++i)
            pool.start([&, i] {
                outcomes_[i] = work(cases_[i], dir_.filePath(cases_[i].name()), source);
            });
        pool.waitForDone();
    }

    // The runs made by initTestCase: exports, conversions and rejected inputs.
    void runs_data() {
        QTest::addColumn<int>("index");
        for (qsizetype i = 0; i < cases_.size(); ++i)
            QTest::newRow(qPrintable(cases_[i].name())) << int(i);
    }
    void runs() {
        QFETCH(int, index);
        const Case& c = cases_[index];
        const Outcome& o = outcomes_[index];
        const QString numbers = QString("\n  ours:   exit %1, %2\n  ffmpeg: %3\n  stderr: %4")
                                    .arg(o.ours.exitCode)
                                    .arg(o.mine.text(), o.theirs.text(), o.ours.errors);
        QVERIFY2(o.leftover.isEmpty(), qPrintable("left behind: " + o.leftover.join(", ")));
        if (c.kind == "reject") {
            const QStringList lines = o.ours.errors.split('\n');
            QVERIFY2(o.ours.exitCode > 0 && lines.size() == 1 && lines[0].startsWith("codec: "),
                     qPrintable(numbers));
            QVERIFY(!QFile::exists(src(c.name() + "/ours.wav")));
        } else if (c.kind == "export") {
            QVERIFY2(o.ours.exitCode == 0 && o.mine.rate == c.outRate() &&
                         o.mine.channels == c.channels,
                     qPrintable(numbers));
            // A click is -20 to -45 dB; the bars are 3 dB above FFmpeg's encoders at their worst.
            const double bar = c.format == "wma" ? -40 : c.format == "amr" ? -22 : -70;
            QVERIFY2(o.mine.toneDb <= bar, qPrintable("tone" + numbers));
            // The -6 dBFS tone keeps its level, also mixed down to one channel; AMR's speech
            // coder may take up to 3 dB off a steady tone.
            QVERIFY2(std::abs(o.mine.levelDb + (c.format == "amr" ? 7.5 : 6)) <= 2,
                     qPrintable("level" + numbers));
            // WMA's start may move by a little; AMR's encoder delays by its lookahead.
            const int lag = o.mine.lag.samples;
            QVERIFY2(c.format == "wma"   ? std::abs(lag) <= 64
                     : c.format == "amr" ? lag >= -1 && lag <= 48
                                         : std::abs(lag) <= 1,
                     qPrintable("start" + numbers));
            // AMR ends within a frame, WAV and MP3 exactly. A WMA decoder fades its last frame, so
            // the audio after the stretch fills a whole frame, and one frame more comes.
            const qsizetype stretch = 3 * c.outRate();
            QVERIFY2(c.format == "wma" ? o.mine.frames >= stretch + c.frame() &&
                                             o.mine.frames < stretch + 2 * c.frame()
                                       : std::abs(o.mine.frames - stretch) <= c.frame(),
                     qPrintable("length" + numbers));
        } else {
            // A damaged input may deserve a note; a sound one converts silently.
            const bool damaged = c.format.contains('-') && c.format != "wav-list";
            QVERIFY2(o.ours.exitCode == 0 && (o.ours.errors.isEmpty() || damaged),
                     qPrintable(numbers));
            // The canonical header: PCM, stereo, 44100 Hz, 16-bit, its sizes those of the data.
            QVERIFY2(contents(src(c.name() + "/ours.wav")).left(44) ==
                         wavbytes::wav(44100, 2, QByteArray(o.mine.frames * 4, 0)).left(44),
                     qPrintable("header" + numbers));
            // -60 dB, inaudible, or what FFmpeg makes of a lossy file. Decoders disagree where a
            // stream changes rate: the joined MP3 is judged by its length only.
            QVERIFY2(c.format == "mp3-joined" ||
                         o.mine.toneDb <= std::max(-60.0, o.theirs.toneDb + 3),
                     qPrintable("tone" + numbers));
            // The same decoder, the same samples: one of rounding, one MP3 frame at a rate change.
            const qsizetype slack = c.format == "mp3-joined" ? 1152 : 1;
            QVERIFY2(o.theirs.frames > 0 && std::abs(o.mine.frames - o.theirs.frames) <= slack,
                     qPrintable("length" + numbers));
            // The resampler's last samples come out: the tone lasts to the very end.
            QVERIFY2(o.mine.endPeak >= o.theirs.endPeak / 2, qPrintable("end" + numbers));
        }
    }

    // Decoding on every core gives the bytes one core (taskset) gives, wherever the six-second
    // chunks (230 MP3 frames) fall.
    void parallelIsExact_data() {
        columns<QString, double, QStringList>({"name", "seconds", "encoder"});
        QTest::newRow("tiny mp3") << "tiny.mp3" << 0.1 << kMp3;
        for (int frames : {229, 230, 231, 461}) // LAME adds 1105 samples before the first
            QTest::newRow(qPrintable(QString("%1 frames").arg(frames)))
                << QString("f%1.mp3").arg(frames) << (frames * 1152 - 1105) / 44100.0 << kMp3;
        QTest::newRow("vbr mp3") << "vbr.mp3" << 30.0 << QStringList{"-q:a", "4"};
        const QStringList picture{"-i", src("cover.png"), "-map", "0", "-map", "1", "-c:v", "copy"};
        QTest::newRow("mp3 with a picture") // a picture stream before the audio
            << "cover.mp3" << 20.0
            << picture + QStringList{"-disposition:v", "attached_pic"} + kMp3;
        QTest::newRow("mp3 changing rate") // made for the conversions
            << Case{"convert", "mp3-joined", 44100, 2}.name() + "/in.mp3" << 0.0 << QStringList{};
        QTest::newRow("24-bit flac at 48000 Hz")
            << "deep.flac" << 40.0 << QStringList{"-ar", "48000", "-sample_fmt", "s32"};
        QTest::newRow("flac of one frame") << "short.flac" << 0.05 << QStringList{};
    }
    void parallelIsExact() {
        QFETCH(QString, name);
        QFETCH(double, seconds);
        QFETCH(QStringList, encoder);
        const QString in = src(name);
        QVERIFY(QFile::exists(in) || tone(in, 44100, 2, seconds, encoder));
        const Run many = run(kCodec, {"-i", in, "-f", "wav", src("many.wav")});
        const Run one = run("taskset", {"-c", "0", kCodec, "-i", in, "-f", "wav", src("one.wav")});
        QVERIFY(many.exitCode == 0 && one.exitCode == 0);
        const QByteArray a = contents(src("many.wav")), b = contents(src("one.wav"));
        QVERIFY2(b.size() > 44 && a == b,
                 qPrintable(QString("%1 against %2 bytes").arg(a.size()).arg(b.size())));
    }

    // A ramp whose sample n holds n, cut at 8000 Hz mono: exactly the marked samples in the
    // canonical WAV, and progress lines on standard output.
    void exactCuts_data() {
        columns<int, int>({"start", "length"}); // seconds
        QTest::newRow("at the start") << 0 << 1;
        QTest::newRow("in the middle") << 2 << 1;
        QTest::newRow("at the very end") << 3 << 1;
        QTest::newRow("past the end") << 3 << 5;
    }
    void exactCuts() {
        QFETCH(int, start);
        QFETCH(int, length);
        const QByteArray ramp = wavbytes::ramp(4 * 8000 * 2);
        const QString in = wavbytes::write(src("ramp.wav"), wavbytes::wav(8000, 1, ramp));
        const Run r = run(kCodec, {"-i", in, "-t", QString("00:00:0%1").arg(length), "-ss",
                                   QString("00:00:0%1").arg(start), "-ab", "192", "-ar", "8000",
                                   "-ac", "1", src("cut.wav")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.errors));
        // "progress 0.370" lines rising to "progress 1.000": as text, in order.
        const QStringList lines = QString::fromUtf8(r.output).split('\n', Qt::SkipEmptyParts);
        QVERIFY2(std::ranges::is_sorted(lines) && lines.value(0).startsWith("progress ") &&
                     lines.last() == "progress 1.000",
                 r.output.constData());
        QCOMPARE(contents(src("cut.wav")), wavbytes::wav(8000, 1, ramp.mid(start * 16000, 16000)));
    }

    // A link put in place of the hidden temporary during the run (held by a pipe) receives
    // nothing, and the output still gets all of temp.wav, also where the header is patched last.
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
        wavbytes::write(victim, "not for the transcoder");
        const QByteArray audio = contents(src("temp.wav"));
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
        const QString part = folder + "/" + parts.first();
        QVERIFY(QFile::remove(part) && QFile::link(victim, part));
        QCOMPARE(feed.write(audio.mid(audio.size() / 4)), audio.size() - audio.size() / 4);
        feed.close();
        QVERIFY(codec.waitForFinished(120000) && codec.exitCode() == 0);
        QCOMPARE(contents(victim), QByteArray("not for the transcoder"));
        // All of the audio give or take a few frames and, as the short last frame is filled with
        // silence, nothing after its end but a faint smear (below -30 dBFS RMS).
        const Audio a = decode(out);
        double after = 0; // mean square
        for (const auto& s : a.channels)
            for (qsizetype i = 441000; i < qsizetype(s.size()); ++i)
                after += double(s[i]) * s[i] / double((s.size() - 441000) * a.channels.size());
        QVERIFY2(format == "wav" ? contents(out).mid(44) == audio.mid(44)
                                 : std::abs(a.frames() - 441000) < 3 * 2048 && after < 0.001,
                 qPrintable(QString("%1 frames, %2 after the end").arg(a.frames()).arg(after)));
    }

    // The kind of each failure is its exit code, its words the one line on standard error. An
    // output already there stays as it was and no temporary is left, whether the run fails
    // before making one or after.
    void errors_data() {
        columns<QStringList, int, QString>({"args", "exitCode", "message"});
        QTest::newRow("missing input")
            << QStringList{"-i", "/nonexistent/a.wav", "-f", "wav", "@/o.wav"} << 3
            << "codec: cannot read input '/nonexistent/a.wav': it does not exist";
        QTest::newRow("no audio") << QStringList{"-i", "@/cover.png", "-f", "wav", "@/o.wav"} << 6
                                  << "codec: no audio stream in '@/cover.png'";
        QTest::newRow("folder missing")
            << QStringList{"-i", "@/temp.wav", "-f", "wav", "@/no/o.wav"} << 12
            << "codec: output folder '@/no' does not exist";
        QTest::newRow("nothing to cut")
            << QStringList{"-i", "@/temp.wav", "-t", "00:00:00", "-ss", "00:00:00", "@/o.wav"} << 16
            << "codec: nothing to write: -t is 00:00:00";
        QTest::newRow("unknown extension") << QStringList{"-i", "@/temp.wav", "@/o.ogg"} << 2
                                           << "codec: cannot tell the output format from '@/o.ogg' "
                                              "(use .mp3, .wma, .wav or .amr, or -f wav)";
        QTest::newRow("start past the end")
            << QStringList{"-i", "@/temp.wav", "-t", "00:00:01", "-ss", "00:01:00", "@/o.wav"} << 17
            << "codec: -ss 00:01:00 lies past the end of '@/temp.wav'";
        QTest::newRow("no sound") << QStringList{"-i", "@/header.wav", "-f", "wav", "@/o.wav"} << 9
                                  << "codec: no sound could be decoded from '@/header.wav'";
    }
    void errors() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        wavbytes::write(src("o.wav"), "earlier");
        wavbytes::write(src("header.wav"), wavbytes::wav(44100, 2, {}));
        const Run r = run(kCodec, args.replaceInStrings("@", dir_.path()));
        QTEST(r.exitCode, "exitCode");
        QCOMPARE(r.errors, message.replace("@", dir_.path()));
        QCOMPARE(contents(src("o.wav")), QByteArray("earlier"));
        QCOMPARE(QDir(dir_.path()).entryList({".o.*"}, QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestTranscoder)
#include "test_signal.moc"
