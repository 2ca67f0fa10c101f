// Tests of the real transcoder (codec.dll) on audio generated here: exact cut lengths, the
// safety of the output file (a link put in place of the temporary, long names) and the error
// messages. Its sound is judged in test_signal.
#include "tests/support/signal_check.h"
#include "tests/support/test_audio.h"
#include "transcoder/wav_writer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
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

    // Progress goes to standard output as "progress 0.370" lines, rising from 0 to at most 1.
    void progressLines_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("conversion") << QStringList{"-f", "wav", "@/progress.wav"};
        QTest::newRow("cut") << QStringList{"-t",  "00:00:20", "-ss",           "00:00:05",
                                            "-ab", "128",      "-ar",           "48000",
                                            "-ac", "2",        "@/progress.mp3"};
    }
    void progressLines() {
        QFETCH(QStringList, args);
        const QString source = src("half-minute.wav");
        if (!QFile::exists(source))
            QVERIFY(synth(source, 44100, 2, 30, {"sine", "440", "vol", "0.5"}));
        args.replaceInStrings("@", dir_.path());
        const Run r = transcode(QStringList{"-i", source} + args);
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = QString::fromUtf8(r.output).split('\n', Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty());
        double last = 0;
        for (const QString& line : lines) {
            QVERIFY2(line.startsWith("progress "), qPrintable(line));
            const double fraction = line.mid(9).toDouble();
            QVERIFY2(fraction >= last && fraction <= 1, qPrintable(lines.join(',')));
            last = fraction;
        }
    }

    // Decoding on every core gives the very bytes one core gives, wherever the chunks of
    // packets fall: a run pinned to one processor (taskset) decodes on one thread.
    void parallelIsExact_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QStringList>("encoder");
        const QStringList cbr{"-c:a", "libmp3lame", "-b:a", "192k"};
        // 200 packets make a chunk: 200 MP3 frames of 1152 samples, less LAME's own delay.
        QTest::newRow("tiny mp3") << "tiny.mp3" << 0.1 << cbr;
        for (int frames : {199, 200, 201, 401})
            QTest::newRow(qPrintable(QString("%1 frames of mp3").arg(frames)))
                << QString("f%1.mp3").arg(frames) << (frames * 1152 - 1105) / 44100.0 << cbr;
        QTest::newRow("long mp3") << "long.mp3" << 60.0 << cbr;
        QTest::newRow("vbr mp3") << "vbr.mp3" << 30.0
                                 << QStringList{"-c:a", "libmp3lame", "-q:a", "4"};
        QTest::newRow("mp3 with a picture") << "cover.mp3" << 20.0 << cbr;
        QTest::newRow("24-bit flac at 48000 Hz")
            << "deep.flac" << 40.0
            << QStringList{"-ar", "48000", "-sample_fmt", "s32", "-c:a", "flac"};
        QTest::newRow("flac of one frame") << "short.flac" << 0.05 << QStringList{"-c:a", "flac"};
    }
    void parallelIsExact() {
        QFETCH(QString, name);
        QFETCH(double, seconds);
        QFETCH(QStringList, encoder);
        const QString in = src(name);
        QVERIFY(tone(in, 44100, 2, seconds, encoder));
        if (name == "cover.mp3") { // a picture stream before the audio
            const QString plain = src("plain-" + name);
            QVERIFY(QFile::rename(in, plain));
            QVERIFY(ffmpeg({"-i", plain, "-i", src("cover.png"), "-map", "0", "-map", "1", "-c",
                            "copy", "-disposition:v", "attached_pic", in}));
        }
        const Run parallel = transcode({"-i", in, "-f", "wav", src("parallel.wav")});
        const Run single =
            run("taskset", {"-c", "0", kCodec, "-i", in, "-f", "wav", src("one.wav")});
        QCOMPARE(parallel.exitCode, 0);
        QCOMPARE(single.exitCode, 0);
        QFile a(src("parallel.wav")), b(src("one.wav"));
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        const QByteArray many = a.readAll(), one = b.readAll();
        QVERIFY(one.size() > 44);
        QVERIFY2(many == one,
                 qPrintable(QString("%1 against %2 bytes").arg(many.size()).arg(one.size())));
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
            QFile file(ramp);
            QVERIFY(file.open(QIODevice::WriteOnly));
            transcoder::WavWriter w(file.handle(), ramp.toStdString(), 8000, 1);
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

    // A link put in place of the temporary while the run goes on receives nothing, and the
    // output still gets all of the audio. The input comes through a pipe so that the run waits,
    // its temporary made, until the link is in place.
    void linkInPlaceOfTheTemporary_data() {
        QTest::addColumn<QString>("format");
        // WAV patches its header at the end, ASF too, MP3 writes its Xing frame last.
        for (const char* format : {"wav", "wma", "mp3"})
            QTest::newRow(format) << QString(format);
    }
    void linkInPlaceOfTheTemporary() {
        QFETCH(QString, format);
        const QString source = src("ten-seconds.wav");
        if (!QFile::exists(source))
            QVERIFY(synth(source, 44100, 2, 10, {"sine", "440", "vol", "0.5"}));
        QFile sourceFile(source);
        QVERIFY(sourceFile.open(QIODevice::ReadOnly));
        const QByteArray audio = sourceFile.readAll();
        const QString folder = dir_.filePath("swap-" + format);
        QVERIFY(QDir().mkpath(folder));
        const QString pipe = folder + "/feed.wav";
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        const QString victim = folder + "/victim.txt";
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly) && v.write("not for the transcoder") > 0);
        v.close();
        const QString out = folder + "/swapped." + format;

        // A transcoder that fails early must fail the test, not end it by SIGPIPE.
        const auto previous = std::signal(SIGPIPE, SIG_IGN);
        const auto restore = qScopeGuard([previous] { std::signal(SIGPIPE, previous); });
        QProcess codecRun;
        codecRun.start(kCodec, {"-i", pipe, "-ab", "128", "-ar", "44100", "-ac", "2", out});
        // Opening the pipe for writing fails until the transcoder opens it for reading.
        int feed = -1;
        QVERIFY(testaudio::waitFor([&] {
            feed = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
            return feed >= 0 || codecRun.state() == QProcess::NotRunning;
        }));
        QVERIFY2(feed >= 0, codecRun.readAllStandardError().constData());
        ::fcntl(feed, F_SETFL, ::fcntl(feed, F_GETFL) & ~O_NONBLOCK);
        const auto feedAll = [feed](const char* data, qsizetype bytes) {
            while (bytes > 0) {
                const ssize_t n = ::write(feed, data, std::size_t(bytes));
                if (n < 0 && errno != EINTR)
                    return false;
                if (n > 0) {
                    data += n;
                    bytes -= n;
                }
            }
            return true;
        };
        const qsizetype firstPart = 44 + 2 * 44100 * 4;
        QVERIFY(feedAll(audio.constData(), firstPart));

        QStringList parts;
        QVERIFY(testaudio::waitFor([&] {
            parts = QDir(folder).entryList({".swapped." + format + ".part-*"},
                                           QDir::Files | QDir::Hidden | QDir::System);
            return !parts.isEmpty();
        }));
        const QString link = folder + "/link";
        QVERIFY(QFile::link(victim, link));
        QVERIFY(::rename(QFile::encodeName(link).constData(),
                         QFile::encodeName(folder + "/" + parts.first()).constData()) == 0);

        QVERIFY(feedAll(audio.constData() + firstPart, audio.size() - firstPart));
        ::close(feed);
        QVERIFY(codecRun.waitForFinished(120000));
        QVERIFY2(codecRun.exitCode() == 0, codecRun.readAllStandardError().constData());

        QVERIFY(v.open(QIODevice::ReadOnly));
        QCOMPARE(v.readAll(), QByteArray("not for the transcoder"));
        QVERIFY(!QFileInfo(out).isSymLink());
        if (format == "wav") {
            QFile o(out);
            QVERIFY(o.open(QIODevice::ReadOnly));
            QVERIFY(o.readAll() == audio);
        } else {
            // Lossy codecs pad or trim the edges by a few frames of up to 2048 samples.
            const double seconds = testaudio::decodedSeconds(out, 44100);
            QVERIFY2(std::abs(seconds - 10) < 3 * 2048.0 / 44100,
                     qPrintable(QString::number(seconds)));
        }
    }

    // The temporary's name stays within the file system's limit for any name that is valid.
    void longNames_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("243 bytes") << QString(239, 'a') + ".mp3";
        QTest::newRow("255 bytes") << QString(251, 'b') + ".wav";
        QTest::newRow("255 bytes of three-byte letters")
            << QString::fromUtf8("ü") + QString::fromUtf8("音").repeated(83) + ".mp3";
    }
    void longNames() {
        QFETCH(QString, name);
        QVERIFY(name.toUtf8().size() >= 243 && name.toUtf8().size() <= 255);
        const QString folder = dir_.filePath("long-" + QString::number(name.toUtf8().size()) + "-" +
                                             QString::number(name.size()));
        QVERIFY(QDir().mkpath(folder));
        const QString out = folder + "/" + name;
        const Run r = transcode({"-i", src("tone.wav"), "-t", "00:00:01", "-ss", "00:00:00", "-ab",
                                 "128", "-ar", "44100", "-ac", "2", out});
        QVERIFY2(r.exitCode == 0, qPrintable(r.errors));
        const double seconds = testaudio::decodedSeconds(out, 44100);
        QVERIFY2(std::abs(seconds - 1) < 3 * 2048.0 / 44100, qPrintable(QString::number(seconds)));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1);
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
