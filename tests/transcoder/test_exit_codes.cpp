// How codec.dll fails: the kind of each failure is its exit code, its words one line on standard
// error, and it leaves no output and no temporary behind.
#include "tests/support/test_support.h"
#include "tests/support/wav_bytes.h"

#include <QDir>
#include <QTemporaryDir>

#include <csignal>

using namespace testaudio;

namespace {

// What makes an input fail mid-way or before it plays.
enum class Damage {
    UnplayableRate, // a WAV whose rate and byte rate agree on what cannot be played
    ReadError,      // reads fail past the first 64 KiB (the preloaded shim)
};

} // namespace

Q_DECLARE_METATYPE(Damage)

class TestExitCodes : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString src(const QString& name) const { return dir_.filePath(name); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid() && QFile::exists(kCodec));
        std::signal(SIGPIPE, SIG_IGN); // a transcoder that fails early fails the test, not ends it
        QVERIFY(
            ffmpeg({"-f", "lavfi", "-i", "color=red:s=64x64", "-frames:v", "1", src("cover.png")}));
        QVERIFY(tone(src("temp.wav"), 44100, 2, 10));
    }

    // A damaged input fails in one line, within 10 s, and writes nothing.
    void rejected_data() {
        columns<Damage, int>({"damage", "rate"});
        for (int rate : {1, 7, 1000000000})
            QTest::addRow("wav-rate-%d", rate) << Damage::UnplayableRate << rate;
        QTest::newRow("wav-eio") << Damage::ReadError << 44100;
    }
    void rejected() {
        QFETCH(Damage, damage);
        QFETCH(int, rate);
        const QString folder = src(QTest::currentDataTag()), out = folder + "/ours.wav";
        const QString in = folder + (damage == Damage::ReadError ? "/in.eio.wav" : "/in.wav");
        QVERIFY(QDir().mkpath(folder));
        if (damage == Damage::ReadError)
            QVERIFY(tone(in, rate, 2, 2));
        else
            wavbytes::write(in, wavbytes::wav(rate, 2, QByteArray(3200, 0)));
        const Run r =
            run(kCodec, {"-i", in, "-f", "wav", out}, 10000,
                damage == Damage::ReadError ? QStringList{"LD_PRELOAD=" EIO_SHIM} : QStringList{});
        const QStringList left = QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden);
        QVERIFY2(left.isEmpty(), qPrintable("left behind: " + left.join(", ")));
        const QStringList lines = r.errors.split('\n');
        QVERIFY2(r.exitCode > 0 && lines.size() == 1 && lines[0].startsWith("codec: "),
                 qPrintable(QString("exit %1: %2").arg(r.exitCode).arg(r.errors)));
        QVERIFY(!QFile::exists(out));
    }

    // An output already there stays as it was and no temporary is left, whether the run fails
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

QTEST_GUILESS_MAIN(TestExitCodes)
#include "test_exit_codes.moc"
