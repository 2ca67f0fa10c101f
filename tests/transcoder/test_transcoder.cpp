// Tests of the real transcoder (codec.dll) on audio generated here: exact cut lengths, the
// safety of the output file and the error messages. Its sound is judged in test_signal.
#include "tests/support/signal_check.h"
#include "transcoder/wav_writer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace signalcheck;

namespace {

const QString kCodec = QStringLiteral(QUILLET_BUILD_DIR "/codec.dll");

Run transcode(const QStringList& args) {
    return run(kCodec, args);
}

} // namespace

class TestTranscoder : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString src(const QString& name) const { return dir_.filePath(name); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY(QFile::exists(kCodec));
        // The source: 2 s of tone, 44100 Hz stereo, 16-bit; a picture is an input without audio.
        QVERIFY(synth(src("tone.wav"), 44100, 2, 2, {"sine", "1000", "vol", "0.5"}));
        QVERIFY(ffmpeg(
            {"-f", "lavfi", "-i", "color=c=red:s=64x64:d=1", "-frames:v", "1", src("cover.png")}));
    }

    void exactCuts_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("length");
        QTest::addColumn<int>("firstFrame");
        QTest::addColumn<int>("frames");
        // The source is 4 s at 8000 Hz whose sample n holds the value n modulo 32000.
        QTest::newRow("at the start") << "00:00:00"
                                      << "00:00:01" << 0 << 8000;
        QTest::newRow("in the middle") << "00:00:02"
                                       << "00:00:01" << 16000 << 8000;
        QTest::newRow("at the very end") << "00:00:03"
                                         << "00:00:01" << 24000 << 8000;
        QTest::newRow("past the end") << "00:00:03"
                                      << "00:00:05" << 24000 << 8000;
    }
    void exactCuts() {
        QFETCH(QString, start);
        QFETCH(QString, length);
        QFETCH(int, firstFrame);
        QFETCH(int, frames);
        const QString ramp = src("ramp.wav");
        if (!QFile::exists(ramp)) {
            transcoder::WavWriter w(ramp.toStdString(), 8000, 1);
            std::vector<std::int16_t> s(32000);
            for (int i = 0; i < 32000; ++i)
                s[i] = std::int16_t(i - 16000);
            w.write(s.data(), 32000);
            w.finish();
        }
        const QString out = src("cut.wav");
        const Run r = transcode(
            {"-i", ramp, "-t", length, "-ss", start, "-ab", "192", "-ar", "8000", "-ac", "1", out});
        QVERIFY2(r.exitCode == 0, qPrintable(r.errors));
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray all = f.readAll();
        const auto header = transcoder::wavHeader(8000, 1, frames * 2);
        QCOMPARE(all.left(transcoder::kWavHeaderBytes),
                 QByteArray(reinterpret_cast<const char*>(header.data()), int(header.size())));
        const Audio cut = parseWav(all);
        const std::vector<float>& samples = cut.channels.at(0);
        QCOMPARE(qsizetype(samples.size()), qsizetype(frames));
        QCOMPARE(qRound(samples.front() * 32768), firstFrame - 16000);
        QCOMPARE(qRound(samples.back() * 32768), firstFrame + frames - 1 - 16000);
    }

    void pathsAndSafety() {
        const QString folder = dir_.filePath("Mü sik folder");
        QVERIFY(QDir().mkpath(folder));
        const QString in = folder + "/tö ne in.wav";
        QVERIFY(QFile::copy(src("tone.wav"), in));
        const QString out = folder + "/tö ne_cutted.mp3";
        Run r = transcode({"-i", in, "-t", "00:00:01", "-ss", "00:00:00", "-ab", "128", "-ar",
                           "44100", "-ac", "2", out});
        QVERIFY2(r.exitCode == 0, qPrintable(r.errors));
        const Audio decoded = decode(out);
        QCOMPARE(decoded.rate, 44100);
        QCOMPARE(decoded.frames(), qsizetype(44100));

        // A failing run leaves the existing file as it was, and no temporary.
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        r = transcode({"-i", folder + "/missing.wav", "-t", "00:00:01", "-ss", "00:00:00", out});
        QVERIFY(r.exitCode != 0);
        QFile g(out);
        QVERIFY(g.open(QIODevice::ReadOnly));
        QCOMPARE(g.readAll(), before);
        // Past the end: fails after the temporary was made; it must be gone too.
        r = transcode({"-i", in, "-t", "00:00:01", "-ss", "00:01:00", folder + "/late.wav"});
        QVERIFY(r.exitCode != 0);
        QVERIFY(!QFile::exists(folder + "/late.wav"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void errors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing input")
            << QStringList{"-i", "/nonexistent/a.wav", "-f", "wav", "@/o.wav"}
            << "codec: cannot read input '/nonexistent/a.wav': No such file or directory";
        QTest::newRow("no audio") << QStringList{"-i", "@/cover.png", "-f", "wav", "@/o.wav"}
                                  << "codec: no audio stream in '@/cover.png'";
        QTest::newRow("folder missing")
            << QStringList{"-i", "@/tone.wav", "-f", "wav", "@/nope/o.wav"}
            << "codec: output folder '@/nope' does not exist";
        QTest::newRow("unknown option")
            << QStringList{"-i", "@/tone.wav", "-y", "@/o.wav"} << "codec: unknown option '-y'";
        QTest::newRow("malformed time") << QStringList{"-i", "@/tone.wav", "-t", "30", "@/o.wav"}
                                        << "codec: malformed time '30' for -t (expected hh:nn:ss)";
        QTest::newRow("unknown extension") << QStringList{"-i", "@/tone.wav", "@/o.ogg"}
                                           << "codec: cannot tell the output format from '@/o.ogg' "
                                              "(use .mp3, .wma, .wav or .amr, or -f wav)";
    }
    void errors() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        for (QString& a : args)
            a.replace("@", dir_.path());
        message.replace("@", dir_.path());
        const Run r = transcode(args);
        QVERIFY(r.exitCode != 0);
        QCOMPARE(r.errors, message);
        QVERIFY(!QFile::exists(dir_.filePath("o.wav")));
    }

    void notWritableFolder() {
        if (::geteuid() == 0)
            QSKIP("running as root: every folder is writable");
        const QString folder = dir_.filePath("locked");
        QVERIFY(QDir().mkpath(folder));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        const Run r = transcode({"-i", src("tone.wav"), "-f", "wav", folder + "/o.wav"});
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(r.exitCode != 0);
        QCOMPARE(r.errors, "codec: output folder '" + folder + "' is not writable");
    }
};

QTEST_GUILESS_MAIN(TestTranscoder)
#include "test_transcoder.moc"
