// The waveform scan of WAV files, and the names a drop accepts.
#include "audio/media_selection.h"
#include "playback/wave_scan.h"
#include "tests/support/test_support.h"
#include "tests/support/wav_bytes.h"

#include <QTemporaryDir>

using namespace wavbytes;
using Points = std::vector<std::int32_t>;

class TestWaveScan : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    // 882-sample blocks: the samples scanned (every 32nd) hold the value, the others `between`.
    static QByteArray blocks(const QList<int>& values, int between = 0) {
        QByteArray pcm;
        for (const int v : values)
            for (int i = 0; i < 882; ++i)
                pcm += le(quint16(i % 32 ? between : v), 2);
        return pcm;
    }

private Q_SLOTS:
    // Rows of a 128-row strip, 64 being silence: the top from the lowest looked-at sample (never
    // above 0), the bottom from the highest, divided by 512 toward zero. Data that end on a block
    // boundary give one more point from the empty read.
    void scan_data() {
        columns<QByteArray, Points, Points>({"pcm", "top", "bottom"});
        QTest::newRow("silence") << blocks({0, 0}) << Points{64, 64, 64} << Points{64, 64, 64};
        QTest::newRow("positive") << blocks({20000}, 100) << Points{64, 64} << Points{103, 64};
        QTest::newRow("negative") << blocks({-20000}, -100) << Points{25, 64} << Points{64, 64};
        QTest::newRow("extremes") << blocks({-32768, 32767}) << Points{0, 64, 64}
                                  << Points{64, 127, 64};
        QTest::newRow("toward zero") << blocks({-511, -512, 511, 512}) << Points{64, 63, 64, 64, 64}
                                     << Points{64, 64, 64, 65, 64};
        QTest::newRow("between") << blocks({0}, -32768) << Points{64, 64} << Points{64, 64};
        QTest::newRow("short last block") << blocks({-2048}, -2048) + le(63488, 2).repeated(33)
                                          << Points{60, 60} << Points{64, 64};
        QTest::newRow("header only") << QByteArray() << Points{64} << Points{64};
    }
    void scan() {
        QFETCH(QByteArray, pcm);
        const WaveScan scan = scanWaveFile(write(path("scan.wav"), wav(44100, 2, pcm)));
        QTEST(scan.top, "top");
        QTEST(scan.bottom, "bottom");
        QCOMPARE(scan.lastPoint + 1, std::int32_t(scan.top.size()));
    }
    // Over many reads the progress gives the header's bound, then every 100th point. More points
    // than the header announces, less than a header, or no file, fail.
    void longAndBadScans() {
        Points progress;
        const QByteArray pcm = blocks({-4096, 4096}).repeated(500);
        const WaveScan scan = scanWaveFile(write(path("long.wav"), wav(44100, 2, pcm)),
                                           [&](std::int32_t bound, std::int32_t point) {
                                               QCOMPARE(bound, 1000);
                                               progress.push_back(point);
                                           });
        QCOMPARE(QList<int>({scan.top[512], scan.bottom[511]}), QList<int>({56, 72}));
        QCOMPARE(progress, Points({0, 0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}));
        const QByteArray tooLong =
            riff(chunk("fmt ", fmt(44100, 2)) + "data" + le(1764, 4) + blocks({0, 0, 0}));
        for (const QString& bad :
             {write(path("bad.wav"), tooLong), write(path("short.wav"), "RIFF"), path("none.wav")})
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, scanWaveFile(bad));
    }
    // In any letter case a name ends in wav, wma, mp3, amr or flac; the dot is not looked at.
    void dropNames() {
        for (const char* name : {"/m/SONG.MP3", "/m/xmp3", "a.flac", "a.Wav", "a.wma", "a.amr"})
            QVERIFY2(isAcceptedAudioName(name), name);
        for (const char* name : {"/m/a.ogg", "/m/a.fla", ""})
            QVERIFY2(!isAcceptedAudioName(name), name);
    }
};

QTEST_GUILESS_MAIN(TestWaveScan)
#include "test_wave_scan.moc"
