// Unit tests of the transcoder's pure logic: times, bit rates, argument forms, nearest values,
// encoder fits, sample arithmetic, the WAV header and the temporary's name.
#include "transcoder/options.h"
#include "transcoder/output_file.h"
#include "transcoder/settings.h"
#include "transcoder/stretch.h"
#include "transcoder/wav_writer.h"

#include <QTest>

using namespace transcoder;

class TestTranscoderCore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void times_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("ms"); // -1: malformed
        QTest::newRow("zero") << "00:00:00" << qint64(0);
        QTest::newRow("65 s") << "00:01:05" << qint64(65000);
        QTest::newRow("hour") << "01:00:00" << qint64(3600000);
        QTest::newRow("long") << "100:59:59" << qint64(((100 * 60 + 59) * 60 + 59) * 1000LL);
        QTest::newRow("fraction") << "00:00:01.25" << qint64(1250);
        QTest::newRow("short fields") << "0:1:5" << qint64(-1);
        QTest::newRow("minutes 60") << "00:60:00" << qint64(-1);
        QTest::newRow("seconds 60") << "00:00:60" << qint64(-1);
        QTest::newRow("two fields") << "01:05" << qint64(-1);
        QTest::newRow("letters") << "aa:bb:cc" << qint64(-1);
        QTest::newRow("negative") << "-00:00:01" << qint64(-1);
        QTest::newRow("empty") << "" << qint64(-1);
        QTest::newRow("four fields") << "00:00:00:00" << qint64(-1);
    }
    void times() {
        QFETCH(QString, text);
        QFETCH(qint64, ms);
        const auto parsed = parseTimeMs(text.toStdString());
        QCOMPARE(parsed.has_value(), ms >= 0);
        if (parsed)
            QCOMPARE(*parsed, ms);
    }

    void bitRates_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("bits"); // -1: malformed
        QTest::newRow("192") << "192" << 192000;
        QTest::newRow("12.2k") << "12.2k" << 12200;
        QTest::newRow("192k") << "192k" << 192000;
        QTest::newRow("zero") << "0" << -1;
        QTest::newRow("word") << "fast" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void bitRates() {
        QFETCH(QString, text);
        QFETCH(int, bits);
        const auto parsed = parseBitRate(text.toStdString());
        QCOMPARE(parsed.has_value(), bits >= 0);
        if (parsed)
            QCOMPARE(*parsed, bits);
    }

    void argumentForms() {
        // The conversion line.
        auto r = parseArguments({"-i", "/p/in put.mp3", "-f", "wav", "/p/temp.wav"});
        QVERIFY2(r.request, r.error.c_str());
        QCOMPARE(r.request->input, std::string("/p/in put.mp3"));
        QCOMPARE(r.request->output, std::string("/p/temp.wav"));
        QVERIFY(r.request->format && !r.request->startMs && !r.request->sampleRate);

        // The export line.
        r = parseArguments({"-i", "/p/temp.wav", "-t", "00:00:30", "-ss", "00:01:05", "-ab", "192",
                            "-ar", "44100", "-ac", "2", "/o/live.set_cutted.mp3"});
        QVERIFY2(r.request, r.error.c_str());
        QCOMPARE(*r.request->lengthMs, 30000);
        QCOMPARE(*r.request->startMs, 65000);
        QCOMPARE(*r.request->bitRate, 192000);
        QCOMPARE(*r.request->sampleRate, 44100);
        QCOMPARE(*r.request->channels, 2);

        // The AMR line: its double blank gives an empty argument wherever the split keeps one.
        r = parseArguments({"-i", "/p/temp.wav", "-t", "00:00:30", "-ss", "00:01:05", "-acodec",
                            "amr_nb", "-ar", "8000", "-ab", "", "12.2k", "-ac", "1", "/o/x.amr"});
        QVERIFY2(r.request, r.error.c_str());
        QCOMPARE(*r.request->bitRate, 12200);
        QCOMPARE(*r.request->codec, std::string("amr_nb"));
        QCOMPARE(r.request->output, std::string("/o/x.amr"));

        // Any order.
        r = parseArguments({"/o/x.wav", "-ac", "1", "-i", "in.wav"});
        QVERIFY2(r.request, r.error.c_str());
        QCOMPARE(r.request->output, std::string("/o/x.wav"));
    }

    void argumentErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown") << QStringList{"-i", "a", "-y", "b.wav"} << "unknown option '-y'";
        QTest::newRow("bad time") << QStringList{"-i", "a", "-ss", "1:00", "b.wav"}
                                  << "malformed time '1:00' for -ss (expected hh:nn:ss)";
        QTest::newRow("no value") << QStringList{"-i", "a", "b.wav", "-t"}
                                  << "option -t needs a value";
        QTest::newRow("no input") << QStringList{"b.wav"} << "no input file given (-i FILE)";
        QTest::newRow("no output") << QStringList{"-i", "a"} << "no output file given";
        QTest::newRow("two outputs") << QStringList{"-i", "a", "b", "c.wav"}
                                     << "unexpected argument 'b' (only one output file; quote "
                                        "paths with blanks)";
        QTest::newRow("bad format") << QStringList{"-i", "a", "-f", "mp3", "b.wav"}
                                    << "unsupported output format 'mp3' for -f (only wav)";
        QTest::newRow("bad rate") << QStringList{"-i", "a", "-ar", "fast", "b.wav"}
                                  << "malformed sample rate 'fast' for -ar";
    }
    void argumentErrors() {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        std::vector<std::string> argv;
        for (const QString& a : args)
            argv.push_back(a.toStdString());
        const auto r = parseArguments(argv);
        QVERIFY(!r.request);
        QCOMPARE(QString::fromStdString(r.error), error);
    }

    void nearest() {
        QCOMPARE(nearestValue(12050, mp3SampleRates()), 12000);
        QCOMPARE(nearestValue(44100, mp3SampleRates()), 44100);
        QCOMPARE(nearestValue(192000, mp3BitRates(8000)), 64000);
        QCOMPARE(nearestValue(192000, mp3BitRates(22050)), 160000);
        QCOMPARE(nearestValue(12200, amrBitRates()), 12200);
        const int tie[] = {10, 20};
        QCOMPARE(nearestValue(15, tie), 20);
    }

    void fits_data() {
        QTest::addColumn<int>("container");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("fitRate");
        QTest::addColumn<int>("fitChannels");
        QTest::addColumn<int>("fitBits");
        QTest::addColumn<QStringList>("notes");
        const int mp3 = int(Container::Mp3), amr = int(Container::Amr), wav = int(Container::Wav),
                  wma = int(Container::Wma);
        QTest::newRow("mp3 as asked")
            << mp3 << 44100 << 2 << 192000 << 44100 << 2 << 192000 << QStringList{};
        QTest::newRow("mp3 12050") << mp3 << 12050 << 2 << 64000 << 12000 << 2 << 64000
                                   << QStringList{"mp3 cannot use 12050 Hz, using 12000 Hz"};
        QTest::newRow("mp3 8000 320")
            << mp3 << 8000 << 1 << 320000 << 8000 << 1 << 64000
            << QStringList{"mp3 at 8000 Hz cannot use 320 kbit/s, using 64 kbit/s"};
        QTest::newRow("amr line") << amr << 8000 << 1 << 12200 << 8000 << 1 << 12200
                                  << QStringList{};
        QTest::newRow("amr stereo 44100")
            << amr << 44100 << 2 << 192000 << 8000 << 1 << 12200
            << QStringList{"amr cannot use 44100 Hz, using 8000 Hz",
                           "amr cannot use 2 channels, using 1",
                           "amr cannot use 192 kbit/s, using 12.2 kbit/s"};
        QTest::newRow("wav any rate")
            << wav << 12050 << 1 << 192000 << 12050 << 1 << 0 << QStringList{};
        QTest::newRow("wma low") << wma << 8000 << 2 << 16000 << 8000 << 2 << 24000
                                 << QStringList{"wma cannot use 16 kbit/s, using 24 kbit/s"};
    }
    void fits() {
        QFETCH(int, container);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(int, bits);
        QFETCH(int, fitRate);
        QFETCH(int, fitChannels);
        QFETCH(int, fitBits);
        QFETCH(QStringList, notes);
        const auto fitted = fitToEncoder({Container(container), rate, channels, bits});
        QCOMPARE(fitted.settings.sampleRate, fitRate);
        QCOMPARE(fitted.settings.channels, fitChannels);
        QCOMPARE(fitted.settings.bitRate, fitBits);
        QStringList got;
        for (const auto& n : fitted.notes)
            got << QString::fromStdString(n);
        QCOMPARE(got, notes);
    }

    void extensions() {
        QCOMPARE(containerFromExtension("/a/b.c.MP3"), std::optional(Container::Mp3));
        QCOMPARE(containerFromExtension("x.wma"), std::optional(Container::Wma));
        QCOMPARE(containerFromExtension("x.Wav"), std::optional(Container::Wav));
        QCOMPARE(containerFromExtension("x.amr"), std::optional(Container::Amr));
        QVERIFY(!containerFromExtension("x.ogg"));
        QVERIFY(!containerFromExtension("/a.mp3/noext"));
    }

    void feedStarts_data() {
        QTest::addColumn<qint64>("markIn");
        QTest::addColumn<int>("inRate");
        QTest::addColumn<int>("outRate");
        QTest::addColumn<qint64>("feedIn");
        QTest::addColumn<qint64>("feedOut");
        // 147 samples at 44100 Hz are exactly 160 at 48000 Hz: 7 steps cover 1024 samples.
        QTest::newRow("5 s, 44100 to 48000")
            << qint64(220500) << 44100 << 48000 << qint64(220500 - 7 * 147)
            << qint64(240000 - 7 * 160);
        QTest::newRow("5 s, 44100 to 8000") << qint64(220500) << 44100 << 8000
                                            << qint64(220500 - 3 * 441) << qint64(40000 - 3 * 80);
        QTest::newRow("same rate") << qint64(1000) << 8000 << 8000 << qint64(0) << qint64(0);
        QTest::newRow("near the start: whole steps only")
            << qint64(300) << 44100 << 48000 << qint64(300 - 2 * 147) << qint64(327 - 2 * 160);
        QTest::newRow("at the start") << qint64(0) << 44100 << 12050 << qint64(0) << qint64(0);
        // gcd 1: one step is a whole second, more than there is before the mark.
        QTest::newRow("rates without a common step")
            << qint64(20000) << 44100 << 44099 << qint64(20000) << qint64(20000);
    }
    void feedStarts() {
        QFETCH(qint64, markIn);
        QFETCH(int, inRate);
        QFETCH(int, outRate);
        QFETCH(qint64, feedIn);
        QFETCH(qint64, feedOut);
        const qint64 markOut = rescale(markIn, outRate, inRate);
        const FeedStart start = feedStart(markIn, markOut, inRate, outRate, 1024);
        QCOMPARE(qint64(start.input), feedIn);
        QCOMPARE(qint64(start.output), feedOut);
    }

    void sampleArithmetic() {
        QCOMPARE(rescale(5000, 48000, 1000), 240000);
        QCOMPARE(rescale(1, 1, 2), 1); // halves round up
        QCOMPARE(rescale(3 * 3600 * 44100LL, 768000, 44100), 3 * 3600 * 768000LL);
        QCOMPARE(rescale(std::int64_t{1} << 40, 768000, 1000), (std::int64_t{1} << 40) * 768);
        QCOMPARE(roundUpToFrames(0, 2048), 0);
        QCOMPARE(roundUpToFrames(2049, 2048), 4096);
        QCOMPARE(roundUpToFrames(4096, 2048), 4096);
    }

    void header() {
        const auto h = wavHeader(44100, 2, 1764);
        QCOMPARE(int(h.size()), kWavHeaderBytes);
        const QByteArray bytes(reinterpret_cast<const char*>(h.data()), int(h.size()));
        QCOMPARE(bytes.toHex(), QByteArray("524946460807000057415645666d74201000000001000200"
                                           "44ac000010b102000400100064617461e4060000"));
    }

    void temporaryNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("maxBytes");
        QTest::addColumn<QString>("temporary");
        const QString eight = QStringLiteral("音").repeated(8);
        QTest::newRow("short") << "a b.mp3" << 255 << ".a b.mp3.part-XXXXXX";
        QTest::newRow("exactly fits") << "abcdefg.mp3" << 24 << ".abcdefg.mp3.part-XXXXXX";
        QTest::newRow("one byte over") << "abcdefgh.mp3" << 24 << ".abcdefgh.mp.part-XXXXXX";
        // 12 bytes are left for the name: "a" and three whole letters of three bytes.
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
};

QTEST_GUILESS_MAIN(TestTranscoderCore)
#include "test_transcoder_core.moc"
