// How codec.dll fails: the kind of failure is its exit code, its words one line on standard error;
// an output already there stays as it was and no temporary is left, failing before one or after.
#include "tests/support/test_support.h"
#include "tests/support/wav_bytes.h"

#include <QDir>

#include <csignal>

using namespace testaudio;

class TestExitCodes : public testaudio::CodecTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(ready());
        std::signal(SIGPIPE, SIG_IGN); // a transcoder that fails early fails the test, not ends it
        QVERIFY(
            ffmpeg({"-f", "lavfi", "-i", "color=red:s=64x64", "-frames:v", "1", src("cover.png")}));
        QVERIFY(tone(src("temp.wav"), 44100, 2, 10));
        QVERIFY(tone(src("in.eio.wav"), 44100, 2, 2)); // reads fail past its first 64 KiB
        for (int rate : {1, 7, 1000000000}) // the rate and byte rate agree on what cannot play
            wavbytes::write(src("rate%1.wav").arg(rate),
                            wavbytes::wav(rate, 2, QByteArray(3200, 0)));
    }

    // A run's words apart, "@" standing for the test's folder; its exit code and message.
    void errors_data() {
        columns<QStringList, int, QString>({"args", "exitCode", "message"});
        const auto add = [](const char* name, const QString& args, int code, const QString& text) {
            QTest::newRow(name) << args.split(' ') << code << "codec: " + text;
        };
        add("missing input", "-i /nonexistent/a.wav -f wav @/o.wav", 3,
            "cannot read input '/nonexistent/a.wav': it does not exist");
        add("no audio", "-i @/cover.png -f wav @/o.wav", 6, "no audio stream in '@/cover.png'");
        add("folder missing", "-i @/temp.wav -f wav @/no/o.wav", 12,
            "output folder '@/no' does not exist");
        add("nothing to cut", "-i @/temp.wav -t 00:00:00 -ss 00:00:00 @/o.wav", 16,
            "nothing to write: -t is 00:00:00");
        add("unknown extension", "-i @/temp.wav @/o.ogg", 2,
            "cannot tell the output format from '@/o.ogg' "
            "(use .mp3, .wma, .wav or .amr, or -f wav)");
        add("start past the end", "-i @/temp.wav -t 00:00:01 -ss 00:01:00 @/o.wav", 17,
            "-ss 00:01:00 lies past the end of '@/temp.wav'");
        for (const QString rate : {"1", "7", "1000000000"})
            add(qPrintable("rate of " + rate + " Hz"), "-i @/rate" + rate + ".wav -f wav @/o.wav",
                8,
                "cannot read input '@/rate" + rate + ".wav': its sample rate of " + rate +
                    " Hz is not one audio uses (1000 to 768000 Hz)");
        add("read error", "-i @/in.eio.wav -f wav @/o.wav", 10,
            "cannot read input '@/in.eio.wav': the disk could not be read or written");
        add("no sound", "-i @/header.wav -f wav @/o.wav", 9,
            "no sound could be decoded from '@/header.wav'");
    }
    void errors() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        wavbytes::write(src("o.wav"), "earlier");
        wavbytes::write(src("header.wav"), wavbytes::wav(44100, 2, {}));
        // Within 10 s, also where the input is damaged.
        const Run r =
            run(kCodec, args.replaceInStrings("@", dir_.path()), 10000, {"LD_PRELOAD=" EIO_SHIM});
        QTEST(r.exitCode, "exitCode");
        QCOMPARE(r.errors, message.replace("@", dir_.path()));
        QCOMPARE(contents(src("o.wav")), QByteArray("earlier"));
        QCOMPARE(QDir(dir_.path()).entryList({".o.*"}, QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestExitCodes)
#include "test_exit_codes.moc"
