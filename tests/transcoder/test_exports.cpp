// codec.dll's saves of temp.wav in every format, rate and channel count, judged on their samples
// against the source resampled and cut; exact cuts of a ramp; a link in place of the temporary.
#include "tests/support/test_support.h"
#include "tests/support/wav_bytes.h"

#include <QDir>

#include <sys/stat.h>

using namespace testaudio;

namespace {
struct Lag {
    int samples = 0; // out[i + samples] matches ref[i]: positive when the output is late
    double correlation = 0;
};

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

// What each format's save may differ from the source by, as FATE keeps a fuzz per case.
// tone: the worst window's bar; a click is -20 to -45 dB, the bars 3 dB above FFmpeg's encoders
// at their worst. level: of the -6 dBFS tone, also mixed down to one channel, within 2 dB; AMR's
// speech coder may take up to 3 dB off a steady tone. lag: WMA's start may move by a little,
// AMR's encoder delays by its lookahead. length: codec frames past the 3 s, less `open` samples
// at the top: AMR ends within a frame, WAV and MP3 exactly; a WMA decoder fades its last frame,
// so the audio after the stretch fills a whole frame, and one frame more comes.
struct Tolerance {
    double toneDb, levelDb;
    int lagMin, lagMax, lengthMin, lengthMax, open;
};
const QMap<QString, Tolerance> kTolerances{{"wav", {-70, -6, -1, 1, 0, 0, 0}},
                                           {"mp3", {-70, -6, -1, 1, 0, 0, 0}},
                                           {"wma", {-40, -6, -64, 64, 1, 2, 1}},
                                           {"amr", {-22, -7.5, -1, 48, -1, 1, 0}}};
// A codec's frame: WMA's grows with the rate, MP3's halves below 32000 Hz, AMR's is 160.
int codecFrame(const QString& format, int rate) {
    if (format == "wma")
        return rate <= 16000 ? 512 : rate <= 22050 ? 1024 : 2048;
    if (format == "mp3")
        return rate >= 32000 ? 1152 : 576;
    return format == "amr" ? 160 : 0;
}

struct Measure {
    double toneDb = -400, levelDb = -400; // the loudest channel's tone in dBFS
    Lag lag;
    qsizetype frames = 0;
    int rate = 0, channels = 0;
    QString text() const {
        return QString::asprintf("%.1f dB, %.1f dBFS, lag %d (r=%.3f), %lld frames at %d Hz x%d",
                                 toneDb, levelDb, lag.samples, lag.correlation, qint64(frames),
                                 rate, channels);
    }
};

// The tone away from the noise, and the lag on the noise against ref (the source resampled and
// cut); a lossy codec smears a transient a frame or two either side: judged by start and length.
Measure measure(const Audio& a, int smear, const Audio& ref) {
    Measure m{a.frames() ? -400.0 : 0.0, -400, {}, a.frames(), a.rate, int(a.channels.size())};
    const int r = a.rate;
    const qsizetype skip = r / 20 + 2 * smear, head = smear;
    const qsizetype tail = std::min<qsizetype>(3 * r, m.frames) - smear;
    for (std::size_t ch = 0; ch < a.channels.size(); ++ch) {
        const auto& s = a.channels[ch];
        double energy = 0; // over the tone's second before the noise
        for (qsizetype i = head + r / 10; i < r - skip; ++i)
            energy += double(s[i]) * s[i];
        m.levelDb = std::max(m.levelDb, 10 * std::log10(2 * energy / (r - skip - head - r / 10)));
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
} // namespace

class TestExports : public testaudio::CodecTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(ready());
        // The window's temp.wav: a cut at 5 s for 3 s holds tone, a second of noise (another in
        // each channel), tone. Its last 1000 samples, less than a WMA frame, are silent.
        const QString channel =
            "if(between(t,6,7),%1-0.5,if(gte(n,440000),0,0.5*sin(2*PI*1000*t)))";
        QVERIFY(tone(src("temp.wav"), 44100, 1, 10, {},
                     channel.arg("random(0)") + '|' + channel.arg("0*random(0)+random(0)")));
    }

    // The window's line for a save of 3 s from 5 s; its AMR line has a double blank.
    void exports_data() {
        columns<QString, int, int>({"format", "rate", "channels"});
        for (const char* format : {"wav", "mp3", "wma"})
            for (int rate : {48000, 44100, 32000, 24000, 22050, 16000, 12050, 8000})
                for (int channels : {1, 2})
                    QTest::addRow("%s-%d-%dch", format, rate, channels)
                        << format << rate << channels;
        QTest::newRow("amr-8000-1ch") << QString("amr") << 8000 << 1; // AMR is 8000 Hz only
    }
    void exports() {
        QFETCH(QString, format);
        QFETCH(int, rate);
        QFETCH(int, channels);
        const Tolerance t = kTolerances[format];
        const int outRate = format == "mp3" && rate == 12050 ? 12000 : rate; // MP3 has no 12050
        const int frame = codecFrame(format, outRate);
        const QString folder = src(QTest::currentDataTag()), ours = folder + "/ours." + format;
        QVERIFY(QDir().mkpath(folder));
        const QString hz = QString::number(rate), ch = QString::number(channels);
        const QStringList settings =
            format == "amr" ? QStringList{"-acodec", "amr_nb", "-ar", hz, "-ab", "", "12.2k"}
                            : QStringList{"-ab", "192", "-ar", hz};
        const Run r =
            run(kCodec, QStringList{"-i", src("temp.wav"), "-t", "00:00:03", "-ss", "00:00:05"} +
                            settings + QStringList{"-ac", ch, ours});
        // The reference: the source resampled by soxr at full precision, cut at 5 s for 3 s.
        const QString resample = "aresample=%1:resampler=soxr:precision=28,atrim=5:8";
        const Audio ref = decode(src("temp.wav"), {"-af", resample.arg(outRate), "-ac", ch});
        const Measure m = measure(decode(ours), frame, ref);
        // Side by side at the window's rate, the ffmpeg command line on the same work: no more
        // than 4 dB clickier (AMR's speech coder varies by that much), no later, no longer.
        const bool peer = rate == 44100 || format == "amr";
        const QString theirs = folder + "/ffmpeg." + format;
        QVERIFY(!peer || ffmpeg(QStringList{"-ss", "5", "-t", "3", "-i", src("temp.wav"), "-ar", hz,
                                            "-ac", ch, "-b:a", format == "amr" ? "12.2k" : "192k"} +
                                QStringList{theirs}));
        const Measure p = peer ? measure(decode(theirs), frame, ref) : m;
        const QString numbers = QString("\n  ours: exit %1, %2\n  ffmpeg: %3\n  stderr: %4")
                                    .arg(r.exitCode)
                                    .arg(m.text(), p.text(), r.errors);
        const auto lengthOff = [&](const Measure& x) { return std::abs(x.frames - 3 * outRate); };
        QVERIFY2(m.toneDb <= p.toneDb + 4 &&
                     std::abs(m.lag.samples) <= std::abs(p.lag.samples) + 1 &&
                     lengthOff(m) <= lengthOff(p) + 2 * frame,
                 qPrintable("against ffmpeg" + numbers));
        QVERIFY2(QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden).isEmpty(),
                 qPrintable("left behind" + numbers));
        QVERIFY2(r.exitCode == 0 && m.rate == outRate && m.channels == channels,
                 qPrintable(numbers));
        QVERIFY2(m.toneDb <= t.toneDb, qPrintable("tone" + numbers));
        QVERIFY2(std::abs(m.levelDb - t.levelDb) <= 2, qPrintable("level" + numbers));
        QVERIFY2(m.lag.samples >= t.lagMin && m.lag.samples <= t.lagMax,
                 qPrintable("start" + numbers));
        QVERIFY2(m.frames >= 3 * outRate + t.lengthMin * frame &&
                     m.frames <= 3 * outRate + t.lengthMax * frame - t.open,
                 qPrintable("length" + numbers));
    }

    // The bit rate chosen is the one written: 3 s of MP3 hold it, with a header frame or two.
    void bitRates() {
        for (const int kbits : {64, 128, 320}) {
            const QString out = src(QString("rate%1.mp3").arg(kbits));
            const Run r =
                run(kCodec, {"-i", src("temp.wav"), "-t", "00:00:03", "-ss", "00:00:05", "-ab",
                             QString::number(kbits), "-ar", "44100", "-ac", "2", out});
            const double ratio = QFileInfo(out).size() * 8.0 / (3 * kbits * 1000);
            QVERIFY2(
                r.exitCode == 0 && ratio > 1 && ratio < 1.05,
                qPrintable(
                    QString("%1 kbit/s: %2 times that %3").arg(kbits).arg(ratio).arg(r.errors)));
        }
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
};

QTEST_GUILESS_MAIN(TestExports)
#include "test_exports.moc"
