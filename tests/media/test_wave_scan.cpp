// The waveform scan over real files, and the names a drop accepts.
#include "audio/media_selection.h"
#include "audio/wave_scan.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <vector>

namespace {

// A canonical 44-byte header announcing dataBytes, followed by the samples (and extraBytes of
// zeros beyond what the header announces).
QByteArray wavFile(const std::vector<std::int16_t>& samples, int announcedBytes = -1) {
    const int dataBytes = static_cast<int>(samples.size() * 2);
    if (announcedBytes < 0)
        announcedBytes = dataBytes;
    QByteArray bytes(44, '\0');
    auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, bytes.data() + at); };
    auto put16 = [&](int at, quint16 v) { qToLittleEndian(v, bytes.data() + at); };
    bytes.replace(0, 4, "RIFF");
    put32(4, 36 + announcedBytes);
    bytes.replace(8, 8, "WAVEfmt ");
    put32(16, 16);
    put16(20, 1);
    put16(22, 2);
    put32(24, 44100);
    put32(28, 176400);
    put16(32, 4);
    put16(34, 16);
    bytes.replace(36, 4, "data");
    put32(40, static_cast<quint32>(announcedBytes));
    for (const std::int16_t s : samples) {
        char le[2];
        qToLittleEndian(s, le);
        bytes.append(le, 2);
    }
    return bytes;
}

// Blocks of 882 samples, each sample of block b set to values[b] at every looked-at index and
// to `between` elsewhere.
std::vector<std::int16_t> blocks(const std::vector<int>& values, std::int16_t between = 0) {
    std::vector<std::int16_t> samples;
    for (const int v : values)
        for (int i = 0; i < 882; ++i)
            samples.push_back(i % 32 == 0 ? static_cast<std::int16_t>(v) : between);
    return samples;
}

using Points = std::vector<std::int32_t>;

} // namespace

class TestWaveScan : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString write(const QByteArray& bytes) {
        const QString path = m_dir.filePath(QStringLiteral("temp.wav"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            qFatal("cannot write the test file");
        return path;
    }

private Q_SLOTS:
    void scan_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Points>("top");
        QTest::addColumn<Points>("bottom");
        // One block gives two points: the data end on a block boundary, so an empty read follows.
        QTest::newRow("silence") << wavFile(blocks({0, 0})) << Points{64, 64, 64}
                                 << Points{64, 64, 64};
        QTest::newRow("all positive")
            << wavFile(blocks({20000}, 100)) << Points{64, 64} << Points{103, 64};
        QTest::newRow("all negative")
            << wavFile(blocks({-20000}, -100)) << Points{25, 64} << Points{64, 64};
        QTest::newRow("extremes") << wavFile(blocks({-32768, 32767})) << Points{0, 64, 64}
                                  << Points{64, 127, 64};
        QTest::newRow("truncation toward zero")
            << wavFile(blocks({-511, -512, 511, 512})) << Points{64, 63, 64, 64, 64}
            << Points{64, 64, 64, 65, 64};
        // Only every 32nd sample is looked at: a peak between them leaves no trace.
        QTest::newRow("between the looked-at samples")
            << wavFile(blocks({0}, -32768)) << Points{64, 64} << Points{64, 64};
        QTest::newRow("a short last block") << wavFile(std::vector<std::int16_t>(882 + 33, -2048))
                                            << Points{60, 60} << Points{64, 64};
        QTest::newRow("header only") << wavFile({}) << Points{64} << Points{64};
    }
    void scan() {
        QFETCH(QByteArray, file);
        QFETCH(Points, top);
        QFETCH(Points, bottom);
        const WaveScan scan = scanWaveFile(write(file));
        QCOMPARE(scan.lastPoint, static_cast<std::int32_t>(top.size()) - 1);
        QCOMPARE(Points(scan.top.begin(), scan.top.begin() + scan.lastPoint + 1), top);
        QCOMPARE(Points(scan.bottom.begin(), scan.bottom.begin() + scan.lastPoint + 1), bottom);
    }

    // Many reads' worth of blocks give the same points as block-by-block reading would:
    // (length - 44) / 1764 + 1 of them, with the progress at every 100th.
    void longFile() {
        std::vector<int> values;
        for (int b = 0; b < 1000; ++b)
            values.push_back(b % 2 ? 4096 : -4096);
        std::vector<std::int32_t> progressed;
        const WaveScan scan = scanWaveFile(write(wavFile(blocks(values))),
                                           [&](std::int32_t bound, std::int32_t point) {
                                               QCOMPARE(bound, 1000);
                                               progressed.push_back(point);
                                           });
        QCOMPARE(scan.lastPoint, 1000);
        QCOMPARE(scan.headerBound, 1000);
        QCOMPARE(scan.top[511], 64);
        QCOMPARE(scan.bottom[511], 72);
        QCOMPARE(scan.top[512], 56);
        QCOMPARE(progressed.size(), std::size_t{12}); // the bound, then points 0, 100 ... 1000
    }

    void failures_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("shorter than a header") << QByteArray("RIFF") << "shorter than its header";
        QTest::newRow("more than announced")
            << wavFile(blocks({0, 0, 0}), 1764) << "more audio than its header announces";
    }
    void failures() {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        try {
            scanWaveFile(write(file));
            QFAIL("no error");
        } catch (const std::runtime_error& error) {
            QVERIFY2(QString::fromUtf8(error.what()).contains(message), error.what());
        }
    }

    void missingFile() {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 scanWaveFile(m_dir.filePath(QStringLiteral("none.wav"))));
    }

    void dropNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("upper case") << "/music/SONG.MP3" << true;
        QTest::newRow("no dot") << "/music/xmp3" << true;
        QTest::newRow("flac") << "/music/a.flac" << true;
        QTest::newRow("wav") << "/music/a.Wav" << true;
        QTest::newRow("wma") << "a.wma" << true;
        QTest::newRow("amr") << "a.amr" << true;
        QTest::newRow("ogg") << "/music/a.ogg" << false;
        QTest::newRow("fla") << "/music/a.fla" << false;
        QTest::newRow("empty") << "" << false;
    }
    void dropNames() {
        QFETCH(QString, name);
        QTEST(isAcceptedAudioName(name), "accepted");
    }

    void openFilter() {
        QCOMPARE(openDialogFilter().split(QStringLiteral(";;")),
                 QStringList({"MP3 Files (*.mp3)", "WMA Files (*.wma)", "WAV Files (*.wav)",
                              "AMR Files (*.amr)", "Flac Files (*.flac)"}));
    }
};

QTEST_GUILESS_MAIN(TestWaveScan)
#include "test_wave_scan.moc"
