// The transcoder's pure tables: times and bit rates of its command line, the settings fitted to
// each encoder, sample positions and the hidden name a run writes under. No run of codec.dll.
#include "tests/support/test_support.h"
#include "transcoder/options.h"
#include "transcoder/output_file.h"
#include "transcoder/settings.h"
#include "transcoder/stretch.h"

using namespace transcoder;

class TestCodecTables : public QObject {
    Q_OBJECT

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
};

QTEST_GUILESS_MAIN(TestCodecTables)
#include "test_codec_tables.moc"
