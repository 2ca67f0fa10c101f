// The transcoder's command line: the forms the window writes, times, bit rates, nearest values
// and every malformed line.
#include "transcoder/options.h"

#include <QTest>

using namespace codec;

namespace {
std::vector<std::string> words(const QString& line) {
    std::vector<std::string> out;
    for (const QString& w : line.split(u' '))
        out.push_back(w.toStdString()); // double blanks give empty words, as some callers do
    return out;
}
} // namespace

class TestCodecOptions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void forms() {
        Parsed p = parseArguments(words("-i /a/in.mp3 -f wav /a/temp.wav"));
        QVERIFY(p.error.empty());
        QCOMPARE(p.options.input, std::string("/a/in.mp3"));
        QCOMPARE(p.options.output, std::string("/a/temp.wav"));
        QVERIFY(p.options.container == Container::Wav);
        QVERIFY(!p.options.sampleRate && !p.options.startSeconds);

        p = parseArguments(
            words("-i t.wav -t 00:00:30 -ss 00:01:05 -ab 192 -ar 44100 -ac 2 o.MP3"));
        QVERIFY(p.error.empty());
        QVERIFY(p.options.container == Container::Mp3);
        QCOMPARE(*p.options.lengthSeconds, 30.0);
        QCOMPARE(*p.options.startSeconds, 65.0);
        QCOMPARE(*p.options.bitRate, 192000L);
        QCOMPARE(*p.options.sampleRate, 44100);
        QCOMPARE(*p.options.channels, 2);

        p = parseArguments(words("-i t.wav -t 00:00:30 -ss 00:01:05 -acodec amr_nb -ar 8000 -ab  "
                                 "12.2k -ac 1 o.amr"));
        QVERIFY2(p.error.empty(), p.error.c_str());
        QVERIFY(p.options.container == Container::Amr);
        QCOMPARE(*p.options.bitRate, 12200L);
    }

    void times_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("seconds");
        QTest::newRow("hh:nn:ss") << "01:02:05" << 3725.0;
        QTest::newRow("zero") << "00:00:00" << 0.0;
        QTest::newRow("seconds") << "90" << 90.0;
        QTest::newRow("fraction") << "1.5" << 1.5;
        QTest::newRow("letters") << "00:0x:00" << -1.0;
        QTest::newRow("empty part") << "00::05" << -1.0;
        QTest::newRow("four parts") << "1:00:00:00" << -1.0;
        QTest::newRow("negative") << "-5" << -1.0;
    }
    void times() {
        QFETCH(QString, text);
        QFETCH(double, seconds);
        const auto parsed = parseTime(text.toStdString());
        QCOMPARE(parsed.value_or(-1.0), seconds);
    }

    void errors_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown option") << "-i a.wav -q 3 b.mp3"
                                        << "unknown option -q";
        QTest::newRow("malformed time") << "-i a.wav -ss 1:x b.mp3"
                                        << "malformed time 1:x";
        QTest::newRow("malformed bit rate") << "-i a.wav -ab fast b.mp3"
                                            << "malformed bit rate";
        QTest::newRow("malformed rate") << "-i a.wav -ar 44.1 b.mp3"
                                        << "malformed sample rate";
        QTest::newRow("channels") << "-i a.wav -ac 0 b.mp3"
                                  << "malformed channel count";
        QTest::newRow("no input") << "b.mp3"
                                  << "no input";
        QTest::newRow("no output") << "-i a.wav"
                                   << "no output";
        QTest::newRow("unknown format") << "-i a.wav b.ogg"
                                        << "unknown output format .ogg";
        QTest::newRow("missing value") << "-i a.wav b.mp3 -ab"
                                       << "needs a value";
    }
    void errors() {
        QFETCH(QString, line);
        QFETCH(QString, message);
        const Parsed p = parseArguments(words(line));
        QVERIFY2(QString::fromStdString(p.error).contains(message), p.error.c_str());
    }

    void nearestValues() {
        const std::vector<int> mp3{44100, 48000, 32000, 22050, 24000, 16000, 11025, 12000, 8000};
        QCOMPARE(nearest(12050, mp3), 12000);
        QCOMPARE(nearest(44100, mp3), 44100);
        QCOMPARE(nearest(12050, {}), 12050);
        QCOMPARE(nearest(10, {8, 12}), 8); // a tie goes to the lower one
    }
};

QTEST_GUILESS_MAIN(TestCodecOptions)
#include "test_codec_options.moc"
