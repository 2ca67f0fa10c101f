// Tests of the real transcoder (codec.dll) on audio generated here with sox, ffmpeg and
// espeak-ng: conversion of every input kind to the canonical WAV, the export matrix checked
// with ffprobe, exact cut lengths, and the safety of the output file.
#include "tests/support/test_audio.h"
#include "transcoder/wav_writer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Run {
    int exitCode = -1;
    QString errors;
};

Run run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardError()).trimmed()};
}

QString codec() {
    return QStringLiteral(QUILLET_BUILD_DIR "/codec.dll");
}

Run transcode(const QStringList& args) {
    return run(codec(), args);
}

bool tool(const QString& program, const QStringList& args) {
    return run(program, args).exitCode == 0;
}

QVector<qint16> readCanonicalWav(const QString& path, QByteArray* header) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    *header = all.left(transcoder::kWavHeaderBytes);
    QVector<qint16> samples((all.size() - transcoder::kWavHeaderBytes) / 2);
    std::memcpy(samples.data(), all.constData() + transcoder::kWavHeaderBytes, samples.size() * 2);
    return samples;
}

QByteArray expectedHeader(int rate, int channels, int dataBytes) {
    const auto h = transcoder::wavHeader(rate, channels, dataBytes);
    return QByteArray(reinterpret_cast<const char*>(h.data()), int(h.size()));
}

QJsonObject probe(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {"-v", "error", "-show_entries",
             "stream=codec_name,sample_rate,channels:format=duration", "-of", "json", path});
    p.waitForFinished(30000);
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

} // namespace

class TestTranscoder : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString src(const QString& name) const { return dir_.filePath(name); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY(QFile::exists(codec()));
        // The sources: 2 s each, 44100 Hz stereo, 16-bit.
        QVERIFY(tool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", src("tone.wav"), "synth",
                             "2", "sine", "1000", "vol", "0.5"}));
        QVERIFY(tool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", src("silence.wav"), "trim",
                             "0", "2"}));
        QVERIFY(tool("sox", {"-R", "-n", "-r", "44100", "-c", "2", "-b", "16", src("noise.wav"),
                             "synth", "2", "whitenoise", "vol", "0.3"}));
        QVERIFY(tool("espeak-ng", {"-w", src("speech-raw.wav"), "Cut the first verse here."}));
        QVERIFY(tool("sox", {src("speech-raw.wav"), "-r", "44100", "-c", "2", "-b", "16",
                             src("speech.wav"), "pad", "0", "0.2"}));
        QVERIFY(tool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=c=red:s=64x64:d=1",
                                "-frames:v", "1", src("cover.png")}));
    }

    void conversion_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("format");
        const QStringList formats{"mp3-id3-cover", "mp3-vbr",   "wma",      "wav-s16",
                                  "wav-s24",       "wav-float", "wav-list", "wav-mono-22050",
                                  "amr",           "flac-16",   "flac-24"};
        for (const char* kind : {"tone", "silence", "noise", "speech"})
            for (const QString& format : formats)
                QTest::newRow(qPrintable(QString(kind) + "-" + format)) << QString(kind) << format;
    }
    void conversion() {
        QFETCH(QString, kind);
        QFETCH(QString, format);
        const QString in = src(kind + ".wav");
        const QString out = src(kind + "-" + format + ".in");
        QStringList ff{"-v", "error", "-y", "-i", in};
        if (format == "mp3-id3-cover")
            ff = QStringList{"-v",
                             "error",
                             "-y",
                             "-i",
                             in,
                             "-i",
                             src("cover.png"),
                             "-map",
                             "0",
                             "-map",
                             "1",
                             "-c:a",
                             "libmp3lame",
                             "-b:a",
                             "192k",
                             "-c:v",
                             "png",
                             "-disposition:v",
                             "attached_pic",
                             "-metadata",
                             "title=Verse",
                             "-id3v2_version",
                             "3",
                             "-f",
                             "mp3"};
        else if (format == "mp3-vbr")
            ff << "-c:a"
               << "libmp3lame"
               << "-q:a"
               << "4"
               << "-f"
               << "mp3";
        else if (format == "wma")
            ff << "-c:a"
               << "wmav2"
               << "-b:a"
               << "128k"
               << "-f"
               << "asf";
        else if (format == "wav-s24")
            ff << "-c:a"
               << "pcm_s24le"
               << "-f"
               << "wav";
        else if (format == "wav-float")
            ff << "-c:a"
               << "pcm_f32le"
               << "-f"
               << "wav";
        else if (format == "wav-list")
            ff << "-metadata"
               << "artist=Quillet"
               << "-c:a"
               << "pcm_s16le"
               << "-f"
               << "wav";
        else if (format == "wav-mono-22050")
            ff << "-ac"
               << "1"
               << "-ar"
               << "22050"
               << "-f"
               << "wav";
        else if (format == "amr")
            ff << "-ac"
               << "1"
               << "-ar"
               << "8000"
               << "-c:a"
               << "libopencore_amrnb"
               << "-b:a"
               << "12.2k"
               << "-f"
               << "amr";
        else if (format == "flac-16")
            ff << "-c:a"
               << "flac"
               << "-f"
               << "flac";
        else if (format == "flac-24")
            ff << "-c:a"
               << "flac"
               << "-sample_fmt"
               << "s32"
               << "-f"
               << "flac";
        else
            ff << "-c:a"
               << "pcm_s16le"
               << "-f"
               << "wav";
        ff << out;
        QVERIFY(tool("ffmpeg", ff));

        const QString wav = src(kind + "-" + format + ".wav");
        const Run r = transcode({"-i", out, "-f", "wav", wav});
        QVERIFY2(r.exitCode == 0, qPrintable(r.errors));
        QVERIFY2(r.errors.isEmpty(), qPrintable(r.errors));
        QByteArray header;
        const QVector<qint16> samples = readCanonicalWav(wav, &header);
        QCOMPARE(header, expectedHeader(44100, 2, int(samples.size() * 2)));

        const double sourceSeconds =
            probe(in)["format"].toObject()["duration"].toString().toDouble();
        const qint64 frames = samples.size() / 2;
        // An AMR file carries no encoder delay, so it holds one 20 ms frame more than its source.
        const qint64 slack = format == "amr" ? 441 + 882 : 441;
        QVERIFY2(std::llabs(frames - qint64(std::llround(sourceSeconds * 44100))) <= slack,
                 qPrintable(QString("frames %1 for %2 s").arg(frames).arg(sourceSeconds)));

        double sum = 0;
        int crossings = 0;
        for (qsizetype i = 0; i < samples.size(); i += 2) {
            sum += double(samples[i]) * samples[i];
            if (i >= 2 && (samples[i - 2] < 0) != (samples[i] < 0))
                ++crossings;
        }
        const double rms = std::sqrt(sum / double(frames)) / 32768.0;
        if (kind == "tone") {
            // AMR is a speech codec: a steady tone comes back some dB lower.
            const double tolerance = format == "amr" ? 0.08 : 0.04;
            QVERIFY2(std::abs(rms - 0.5 / std::sqrt(2.0)) < tolerance,
                     qPrintable(QString::number(rms)));
            const double perSecond = crossings / (double(frames) / 44100);
            QVERIFY2(std::abs(perSecond - 2000) < 60, qPrintable(QString::number(perSecond)));
        } else if (kind == "silence") {
            QVERIFY2(rms < 0.001, qPrintable(QString::number(rms)));
        } else {
            QVERIFY2(rms > 0.02, qPrintable(QString::number(rms)));
        }
    }

    void exportMatrix() {
        // 1.5 s of stereo tone as the window's temp.wav; each run writes the first second.
        const QString temp = src("matrix.wav");
        QVERIFY(tool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", temp, "synth", "1.5",
                             "sine", "440", "vol", "0.5"}));
        const bool amr =
            run("ffmpeg", {"-hide_banner", "-h", "encoder=libopencore_amrnb"}).exitCode == 0 &&
            tool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "anullsrc=r=8000:cl=mono", "-t",
                            "0.1", "-c:a", "libopencore_amrnb", "-f", "null", "-"});
        struct Job {
            QString format, out;
            int bits, rate, channels;
        };
        QList<Job> jobs;
        const QStringList formats =
            amr ? QStringList{"mp3", "wma", "wav", "amr"} : QStringList{"mp3", "wma", "wav"};
        for (const QString& format : formats)
            for (int bits : {32, 48, 56, 64, 80, 96, 112, 128, 192, 224, 256, 320})
                for (int rate : {48000, 44100, 32000, 24000, 22050, 16000, 12050, 8000})
                    for (int channels : {1, 2})
                        // The AMR line carries fixed values and PCM has no bit rate: one run
                        // of AMR and one bit rate of WAV cover what the window can ask.
                        if ((format != "amr" || (bits == 32 && rate == 48000 && channels == 1)) &&
                            (format != "wav" || bits == 32))
                            jobs.append({format,
                                         src(QString("m-%1-%2-%3.%4")
                                                 .arg(bits)
                                                 .arg(rate)
                                                 .arg(channels)
                                                 .arg(format)),
                                         bits, rate, channels});
        QStringList failures;
        // Four processes at a time keep both cores busy while others wait on the disk.
        for (qsizetype i = 0; i < jobs.size(); i += 4) {
            QList<QProcess*> running;
            std::vector<std::unique_ptr<QProcess>> owned;
            for (qsizetype j = i; j < std::min(i + 4, jobs.size()); ++j) {
                const Job& job = jobs[j];
                QStringList args{"-i", temp, "-t", "00:00:01", "-ss", "00:00:00"};
                if (job.format == "amr")
                    args << "-acodec"
                         << "amr_nb"
                         << "-ar"
                         << "8000"
                         << "-ab"
                         << "12.2k"
                         << "-ac"
                         << "1";
                else
                    args << "-ab" << QString::number(job.bits) << "-ar" << QString::number(job.rate)
                         << "-ac" << QString::number(job.channels);
                args << job.out;
                owned.push_back(std::make_unique<QProcess>());
                owned.back()->start(codec(), args);
            }
            for (qsizetype j = i; j < std::min(i + 4, jobs.size()); ++j) {
                QProcess& p = *owned[j - i];
                p.waitForFinished(60000);
                const Job& job = jobs[j];
                const QString name = QFileInfo(job.out).fileName();
                if (p.exitCode() != 0) {
                    failures << name + ": " + QString::fromUtf8(p.readAllStandardError()).trimmed();
                    continue;
                }
                const QJsonObject info = probe(job.out);
                const QJsonObject stream = info["streams"].toArray().at(0).toObject();
                const double duration = info["format"].toObject()["duration"].toString().toDouble();
                const QString codecName = stream["codec_name"].toString();
                const int rate = stream["sample_rate"].toString().toInt();
                const int channels = stream["channels"].toInt();
                const QString wantCodec = job.format == "mp3"   ? "mp3"
                                          : job.format == "wma" ? "wmav2"
                                          : job.format == "wav" ? "pcm_s16le"
                                                                : "amr_nb";
                int wantRate = job.format == "amr" ? 8000 : job.rate;
                if (job.format == "mp3" && job.rate == 12050)
                    wantRate = 12000;
                const int wantChannels = job.format == "amr" ? 1 : job.channels;
                // Lossy encoders pad to whole frames: allow three frames of the largest size.
                const double frame = job.format == "wav" ? 0.0 : 3 * 2048.0 / wantRate;
                if (codecName != wantCodec || rate != wantRate || channels != wantChannels ||
                    duration < 0.99 || duration > 1.0 + frame + 0.01)
                    failures << QString("%1: %2 %3 Hz %4 ch %5 s")
                                    .arg(name, codecName)
                                    .arg(rate)
                                    .arg(channels)
                                    .arg(duration);
                QFile::remove(job.out);
            }
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join('\n')));
        if (!amr)
            QSKIP("libopencore_amrnb is missing (install libavcodec-extra): AMR not checked");
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
        QByteArray header;
        const QVector<qint16> samples = readCanonicalWav(out, &header);
        QCOMPARE(header, expectedHeader(8000, 1, frames * 2));
        QCOMPARE(int(samples.size()), frames);
        QCOMPARE(int(samples.first()), firstFrame - 16000);
        QCOMPARE(int(samples.last()), firstFrame + frames - 1 - 16000);
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
        QCOMPARE(probe(out)["streams"].toArray().at(0).toObject()["codec_name"].toString(),
                 QString("mp3"));

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
            QVERIFY(tool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", source, "synth", "10",
                                 "sine", "440", "vol", "0.5"}));
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
        codecRun.start(codec(), {"-i", pipe, "-ab", "128", "-ar", "44100", "-ac", "2", out});
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
