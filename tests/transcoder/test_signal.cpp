// The real transcoder (codec.dll) judged on decoded samples: exports of the window's temp.wav in
// every format, rate and channel count, conversions of every input kind to the canonical WAV,
// hard inputs and a read error. The bar is what the ffmpeg command line makes of the same work.
#include "tests/support/signal_check.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QtEndian>

#include <cmath>
#include <map>

using namespace signalcheck;

namespace {

const QString kCodec = QStringLiteral(QUILLET_BUILD_DIR "/codec.dll");
const std::map<QString, QString> kEncoders{{"wav", "pcm_s16le"},
                                           {"flac", "flac"},
                                           {"wma", "wmav2"},
                                           {"mp3", "libmp3lame"},
                                           {"amr", "libopencore_amrnb"}};

// kind "export": format of the output; "convert": format, rate and channels of the input;
// "reject": a run that must fail. A format with a suffix names a damaged input.
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
            for (int channels : {1, 2})
                cases.append({"export", format, rate, channels});
    cases.append({"export", "amr", 8000, 1});
    for (int rate : {8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000})
        for (const QString format : {"wav", "flac", "wma", "mp3"})
            if (rate <= 48000 || format == "wav" || format == "flac") // wmav2's and MP3's limit
                cases.append({"convert", format, rate, 2});
    for (const char* format : {"wav", "flac", "mp3"})
        cases.append({"convert", format, 22050, 1});
    for (int rate : {22050, 96000}) // a WAV with a chunk before its data (FFmpeg's LIST)
        cases.append({"convert", "wav-list", rate, 2});
    cases.append({"convert", "amr", 8000, 1});
    return cases;
}

struct Measure {
    double toneDb = 0;
    Lag lag;
    qsizetype frames = 0;
    int rate = 0, channels = 0;
    QString text() const {
        return QString::asprintf("%.1f dB, lag %d (r=%.3f), %lld frames at %d Hz x%d", toneDb,
                                 lag.samples, lag.correlation, qint64(frames), rate, channels);
    }
};

struct Outcome {
    Run ours;
    Measure mine, theirs;
    QByteArray header;    // the first bytes of the canonical WAV written
    QStringList leftover; // hidden files (temporaries) in the output folder
};

// Exports: the tone seconds of the 3 s cut, away from the noise, and the lag on the noise
// against ref (the source resampled and cut). Conversions: the tone away from its ends.
Measure measure(const Audio& a, const Case& c, const Audio* ref) {
    Measure m{a.frames() ? -400.0 : 0.0, {}, a.frames(), a.rate, int(a.channels.size())};
    const int r = a.rate;
    // A lossy codec smears a transient over a frame or two either side and may end (WMA: does
    // end) its last frame in garbage; AMR's first frame is its start-up. Those spans are judged
    // by the start and the length, not by the tone. Conversions skip 50 ms at either end.
    const int mp3 = r >= 32000 ? 1152 : 576;
    const int smear = c.kind != "export" ? 0 : c.format == "mp3" ? mp3 : c.frame();
    const qsizetype skip = r / 20 + 2 * smear, head = smear;
    const qsizetype tail = std::min<qsizetype>(3 * r, m.frames) - smear;
    for (std::size_t ch = 0; ch < a.channels.size(); ++ch) {
        const auto& s = a.channels[ch];
        if (c.kind != "export") {
            m.toneDb = std::max(m.toneDb, worstToneWindowDb(s, r, 1000, 5, skip, m.frames - skip));
            continue;
        }
        m.toneDb = std::max({m.toneDb, worstToneWindowDb(s, r, 1000, 5, head, r - skip),
                             worstToneWindowDb(s, r, 1000, 5, 2 * r + skip, tail)});
        const Lag lag = ch < ref->channels.size()
                            ? bestLag(s, ref->channels[ch], 2560, r + r / 4, r + r / 4 + r / 8)
                            : Lag{};
        if (ch == 0 || std::abs(lag.samples) > std::abs(m.lag.samples))
            m.lag = lag;
    }
    return m;
}

// Makes the input of a conversion or a rejected run in folder; empty on failure.
QString makeInput(const Case& c, const QString& folder) {
    const QString type = c.format.section('-', 0, 0);
    const QString in = folder + (c.format == "wav-eio" ? "/in.eio." : "/in.") + type;
    const QStringList encoder{"-c:a", kEncoders.at(type), "-b:a", type == "amr" ? "12.2k" : "128k"};
    if (c.format == "mp3-joined") { // 5 s at 22050 Hz, then 5 s at 44100 Hz, byte by byte
        QByteArray joined;
        for (const QString part : {"22050", "44100"}) {
            QFile f(folder + "/" + part + ".mp3");
            if (!tone(f.fileName(), part.toInt(), 2, 5, encoder) || !f.open(QIODevice::ReadOnly))
                return {};
            joined += f.readAll();
        }
        return patchFile(in, 0, joined) ? in : QString();
    }
    // The lying rates get a short input: the transcoder may believe it has hours to write.
    const int rate = c.format == "flac-lying" ? 48000 : c.format == "wav-rate" ? 8000 : c.rate;
    const double seconds = c.format == "wav-rate" ? 0.1 : 2;
    // sox starts in a tenth of ffmpeg's time, and its WAV header is the canonical one.
    if ((type == "wav" || type == "flac") && c.format != "wav-list"
            ? !synth(in, rate, c.channels, seconds, {"sine", "1000", "vol", "0.5"})
            : !tone(in, rate, c.channels, seconds, encoder))
        return {};
    // The damage: STREAMINFO's 20-bit rate at byte 18 says 24000 Hz over 48 kHz frames; the WAV
    // ends inside its data; the WAV's rate and byte rate tell a consistent lie.
    const quint32 lie[] = {qToLittleEndian(quint32(c.rate)), qToLittleEndian(quint32(c.rate) * 4)};
    const bool made = c.format == "flac-lying"      ? patchFile(in, 18, QByteArray::fromHex("05dc"))
                      : c.format == "wav-truncated" ? patchFile(in, 0, {}, 100000)
                      : c.format == "wav-rate"
                          ? patchFile(in, 24, QByteArray(reinterpret_cast<const char*>(lie), 8))
                          : true;
    return made ? in : QString();
}

Outcome work(const Case& c, const QString& folder, const QString& source,
             const std::map<int, std::map<int, Audio>>& refs) {
    Outcome o;
    QDir().mkpath(folder);
    const QString rate = QString::number(c.rate), channels = QString::number(c.channels);
    if (c.kind == "export") {
        const QString ours = folder + "/ours." + c.format, theirs = folder + "/theirs." + c.format;
        const bool amr = c.format == "amr";
        const QStringList args = amr ? QStringList{"-acodec", "amr_nb", "-ar", rate, "-ab", "12.2k"}
                                     : QStringList{"-ab", "192", "-ar", rate};
        o.ours = run(kCodec, QStringList{"-i", source, "-t", "00:00:03", "-ss", "00:00:05"} + args +
                                 QStringList{"-ac", channels, ours});
        ffmpeg({"-i", source, "-t", "3", "-ss", "5", "-c:a", kEncoders.at(c.format), "-b:a",
                amr ? "12.2k" : "192k", "-ar", QString::number(c.outRate()), "-ac", channels,
                theirs});
        const Audio& ref = refs.at(c.outRate()).at(c.channels);
        o.mine = measure(decode(ours), c, &ref);
        o.theirs = measure(decode(theirs), c, &ref);
        return o;
    }
    const QString in = makeInput(c, folder), out = folder + "/ours.wav";
    if (in.isEmpty())
        return o;
    o.ours = run(kCodec, {"-i", in, "-f", "wav", out}, c.kind == "reject" ? 10000 : 60000,
                 c.format == "wav-eio" ? QStringList{"LD_PRELOAD=" EIO_SHIM} : QStringList{});
    o.leftover = QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden);
    QFile f(out);
    if (c.kind == "reject" || !f.open(QIODevice::ReadOnly))
        return o;
    o.header = f.read(44);
    o.mine = measure(decode(out), c, nullptr);
    const Run theirs = run("ffmpeg", {"-nostdin", "-v", "error", "-i", in, "-ar", "44100", "-ac",
                                      "2", "-c:a", "pcm_s16le", "-f", "wav", "-"});
    o.theirs = measure(parseWav(theirs.output), c, nullptr);
    return o;
}

} // namespace

class TestSignal : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QList<Case> cases_ = allCases();
    std::vector<Outcome> outcomes_;

    void rows(const QString& kind) {
        QTest::addColumn<int>("index");
        for (qsizetype i = 0; i < cases_.size(); ++i)
            if (cases_[i].kind == kind)
                QTest::newRow(qPrintable(cases_[i].name())) << int(i);
    }
    // The row's case and outcome, and the numbers every failure message carries.
    std::tuple<const Case&, const Outcome&, QString> row() {
        QFETCH(int, index);
        const Outcome& o = outcomes_[index];
        return {cases_[index], o,
                QString("\n  ours:   exit %1%2, %3\n  ffmpeg: %4\n  stderr: %5")
                    .arg(o.ours.exitCode)
                    .arg(o.ours.timedOut ? " (stopped at the time limit)" : "")
                    .arg(o.mine.text(), o.theirs.text(), o.ours.errors)};
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY(QFile::exists(kCodec));
        // The window's temp.wav: 1 kHz tone at -6 dBFS with a second of noise at 6 s, so the
        // cut at 5 s for 3 s holds tone, noise, tone, and sound exists either side of it.
        const QString source = dir_.filePath("temp.wav"), noise = dir_.filePath("noise.wav");
        QVERIFY(synth(source, 44100, 2, 10, {"sine", "1000", "vol", "0.5"}));
        QVERIFY(synth(noise, 44100, 2, 1, {"whitenoise", "vol", "0.5"}));
        QFile n(noise); // its second of samples goes over the tone from 6 s, 4 s before the end
        QVERIFY(n.open(QIODevice::ReadOnly) &&
                patchFile(source, QFileInfo(source).size() - 4 * 44100 * 4,
                          n.readAll().right(44100 * 4)));

        // Processes a few at a time: their start-up, not the audio, takes most of the time.
        QThreadPool pool;
        pool.setMaxThreadCount(3);
        std::map<int, std::map<int, Audio>> refs;
        for (int rate : {48000, 44100, 32000, 24000, 22050, 16000, 12050, 12000, 8000})
            for (int channels : {1, 2})
                pool.start([&source, rate, channels, ref = &refs[rate][channels]] {
                    // Resampled by soxr at full precision, then cut at 5 s for 3 s.
                    *ref = decode(source,
                                  {"-af",
                                   QString("aresample=%1:resampler=soxr:precision=28").arg(rate),
                                   "-ac", QString::number(channels)});
                    for (auto& s : ref->channels)
                        s = {s.begin() + std::min<qsizetype>(5 * rate, s.size()),
                             s.begin() + std::min<qsizetype>(8 * rate, s.size())};
                });
        pool.waitForDone();
        outcomes_.resize(cases_.size());
        for (qsizetype i = 0; i < cases_.size(); ++i)
            pool.start([&, i] {
                outcomes_[i] = work(cases_[i], dir_.filePath(cases_[i].name()), source, refs);
            });
        pool.waitForDone();
    }

    void exports_data() { rows("export"); }
    void exports() {
        const auto [c, o, numbers] = row();
        QVERIFY2(o.ours.exitCode == 0, qPrintable(numbers));
        QVERIFY2(o.mine.rate == c.outRate() && o.mine.channels == c.channels, qPrintable(numbers));
        // Within 3 dB of FFmpeg's own. Below -70 dB (a click is -20 to -45) two sound
        // resamplers or encodings differ by more than that from window to window: the bar stops.
        QVERIFY2(o.theirs.frames > 0 && o.mine.toneDb <= std::max(-70.0, o.theirs.toneDb + 3),
                 qPrintable("tone" + numbers));
        // WMA's start may move by a little; AMR's encoder delays by its lookahead.
        const int lag = o.mine.lag.samples;
        QVERIFY2(c.format == "wma"   ? std::abs(lag) <= 64
                 : c.format == "amr" ? lag >= -1 && lag <= 48
                                     : std::abs(lag) <= 1,
                 qPrintable("start" + numbers));
        // AMR ends within one 160-sample frame, WAV and MP3 exactly. A WMA decoder always fades
        // the last frame it decodes, so the stretch is followed by the audio after it to a whole
        // frame (512 samples up to 16 kHz, 1024 to 22050 Hz, then 2048) and one frame more.
        const qsizetype stretch = 3 * c.outRate();
        QVERIFY2(c.format == "wma" ? o.mine.frames >= stretch + c.frame() &&
                                         o.mine.frames < stretch + 2 * c.frame()
                                   : std::abs(o.mine.frames - stretch) <= c.frame(),
                 qPrintable("length" + numbers));
    }

    void conversions_data() { rows("convert"); }
    void conversions() {
        const auto [c, o, numbers] = row();
        // A damaged input may deserve a note; a sound one converts silently.
        const bool damaged = c.format.contains('-') && c.format != "wav-list";
        QVERIFY2(o.ours.exitCode == 0 && (o.ours.errors.isEmpty() || damaged), qPrintable(numbers));
        // The canonical header: PCM, stereo, 44100 Hz, 16-bit, its two sizes those of the data.
        const quint32 bytes = quint32(o.mine.frames * 4);
        QVERIFY2(o.header.mid(8, 28).toHex() == "57415645666d7420100000000100020044ac0000"
                                                "10b1020004001000" &&
                     o.header.left(4) == "RIFF" && o.header.mid(36, 4) == "data" &&
                     qFromLittleEndian<quint32>(o.header.constData() + 4) == bytes + 36 &&
                     qFromLittleEndian<quint32>(o.header.constData() + 40) == bytes,
                 qPrintable("header" + numbers));
        // -60 dB is inaudible under the tone. A lossy input may not hold that much: then the bar
        // is what FFmpeg makes of the same file. Decoders disagree on the frames where a stream
        // changes rate, so the joined MP3 is judged by its length only.
        QVERIFY2(c.format == "mp3-joined" || o.mine.toneDb <= std::max(-60.0, o.theirs.toneDb + 3),
                 qPrintable("tone" + numbers));
        // The same decoder gives the same samples: one of rounding, or one MP3 frame where the
        // joined stream changes rate.
        const qsizetype slack = c.format == "mp3-joined" ? 1152 : 1;
        QVERIFY2(o.theirs.frames > 0 && std::abs(o.mine.frames - o.theirs.frames) <= slack,
                 qPrintable("length" + numbers));
        QVERIFY2(o.leftover.isEmpty(), qPrintable("left behind: " + o.leftover.join(", ")));
    }

    void rejected_data() { rows("reject"); }
    void rejected() {
        const auto [c, o, numbers] = row();
        QVERIFY2(!o.ours.timedOut && o.ours.exitCode > 0, qPrintable(numbers));
        const QStringList lines = o.ours.errors.split('\n');
        QVERIFY2(lines.size() == 1 && lines[0].startsWith("codec: "), qPrintable(numbers));
        // The rate as a number of its own, not as part of the folder's name in a quoted path.
        const QString message = QString(lines[0]).remove(dir_.filePath(c.name()));
        QVERIFY2(c.format != "wav-rate" ||
                     message.contains(QRegularExpression(QString("\\b%1\\b").arg(c.rate))),
                 qPrintable("the message names no rate" + numbers));
        QVERIFY2(o.leftover.isEmpty() && !QFile::exists(dir_.filePath(c.name() + "/ours.wav")),
                 qPrintable("left behind: " + o.leftover.join(", ")));
    }
};

QTEST_GUILESS_MAIN(TestSignal)
#include "test_signal.moc"
