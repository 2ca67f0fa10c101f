// The transcoder's pure logic: times and bit rates as written on its command line, fitting
// settings to an encoder and the temporary's name. The argument forms, where the cut falls and
// how it sounds are judged on real runs (test_signal).
#include "transcoder/options.h"
#include "transcoder/output_file.h"
#include "transcoder/settings.h"
#include "transcoder/stretch.h"

#include <QTest>

using namespace transcoder;

class TestTranscoderCore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void values_data() {
        QTest::addColumn<bool>("time"); // else a bit rate
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value"); // ms or bit/s; -1: refused
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

    void fits_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QList<int>>("wanted"); // rate, channels, bit/s
        QTest::addColumn<QList<int>>("fitted");
        QTest::addColumn<QStringList>("notes");
        QTest::newRow("mp3 12050") << "a.MP3" << QList{12050, 2, 64000} << QList{12000, 2, 64000}
                                   << QStringList{"mp3 cannot use 12050 Hz, using 12000 Hz"};
        QTest::newRow("mp3 22050 192")
            << "a.mp3" << QList{22050, 2, 192000} << QList{22050, 2, 160000}
            << QStringList{"mp3 at 22050 Hz cannot use 192 kbit/s, using 160 kbit/s"};
        QTest::newRow("amr stereo 44100")
            << "a.amr" << QList{44100, 2, 192000} << QList{8000, 1, 12200}
            << QStringList{"amr cannot use 44100 Hz, using 8000 Hz",
                           "amr cannot use 2 channels, using 1",
                           "amr cannot use 192 kbit/s, using 12.2 kbit/s"};
        QTest::newRow("wav any rate")
            << "a.Wav" << QList{12050, 1, 192000} << QList{12050, 1, 0} << QStringList{};
        QTest::newRow("wma low") << "a.wma" << QList{8000, 2, 16000} << QList{8000, 2, 24000}
                                 << QStringList{"wma cannot use 16 kbit/s, using 24 kbit/s"};
    }
    void fits() {
        QFETCH(QString, output);
        QFETCH(QList<int>, wanted);
        const auto container = containerFromExtension(output.toStdString());
        QVERIFY(container);
        const auto got = fitToEncoder({*container, wanted[0], wanted[1], wanted[2]});
        QTEST((QList{got.settings.sampleRate, got.settings.channels, got.settings.bitRate}),
              "fitted");
        QStringList notes;
        for (const auto& n : got.notes)
            notes << QString::fromStdString(n);
        QTEST(notes, "notes");
    }

    // Sample positions round to the nearest sample: 5 ms at 44100 Hz is 220.5 samples.
    void rounding() {
        QCOMPARE(rescale(5, 44100, 1000), 221);
        QCOMPARE(rescale(std::int64_t{1} << 40, 768000, 1000), (std::int64_t{1} << 40) * 768);
    }

    // A hidden name beside the output within the folder's limit, cut on a letter's boundary.
    void temporaryNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("maxBytes");
        QTest::addColumn<QString>("temporary");
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

QTEST_GUILESS_MAIN(TestTranscoderCore)
#include "test_transcoder_core.moc"
