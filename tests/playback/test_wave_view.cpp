// The pure pieces under the waveform strip and the time texts: window placement, ticks, the
// rendered strip, the slider's rounding and FormatTime.
#include "app/format_time.h"
#include "playback/wave_render.h"

#include <QTest>

#include <vector>

class TestWaveView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placement_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("lastPoint");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("offset");
        QTest::newRow("start") << 0 << 5000 << 0 << 0;
        QTest::newRow("walking") << 349 << 5000 << 349 << 0;
        QTest::newRow("scrolling starts") << 350 << 5000 << 350 << 0;
        QTest::newRow("scrolling") << 2150 << 5000 << 350 << 1800;
        QTest::newRow("short file") << 400 << 500 << 400 << 0;
        QTest::newRow("short file past its end") << 800 << 500 << 800 << 0;
        QTest::newRow("999 points never scroll") << 900 << 999 << 900 << 0;
        QTest::newRow("1000: 650 scrolls") << 650 << 1000 << 350 << 300;
        QTest::newRow("1000: 651 jumps") << 651 << 1000 << 651 << 0;
        QTest::newRow("long: L-350") << 4650 << 5000 << 350 << 4300;
        QTest::newRow("long: L-349 jumps") << 4651 << 5000 << 651 << 4000;
        QTest::newRow("long: at the end") << 5000 << 5000 << 1000 << 4000;
    }
    void placement() {
        QFETCH(int, position);
        QFETCH(int, lastPoint);
        const WavePlacement placed = placeWaveWindow(position, lastPoint);
        QTEST(placed.column, "column");
        QTEST(placed.offset, "offset");
    }

    void ticks_data() {
        QTest::addColumn<int>("point");
        QTest::addColumn<int>("topRow");
        QTest::newRow("whole second") << 1200 << 100;
        QTest::newRow("zero") << 0 << 100;
        QTest::newRow("100 ms") << 1210 << 120;
        QTest::newRow("between") << 1215 << 0;
    }
    void ticks() {
        QFETCH(int, point);
        QTEST(tickTopRow(point), "topRow");
    }

    // A 500-point file: strokes and ticks end at column 500, the centre line runs on, the play
    // line stands at its column, lines stop short of their end row.
    void renderedStrip() {
        const int last = 500;
        std::vector<std::int32_t> top(last + 1, 64), bottom(last + 1, 64);
        top[7] = 10;
        bottom[7] = 100;
        const WaveFrame frame = renderWave(top, bottom, last, 250, QSize(698, 127));
        const QImage& image = frame.image;
        QCOMPARE(image.size(), QSize(698, 127));
        QCOMPARE(frame.placement.offset, 0);
        QCOMPARE(image.pixel(7, 10), kWaveStroke);
        QCOMPARE(image.pixel(7, 99), kWaveStroke);
        QCOMPARE(image.pixel(7, 100), kWaveBackground);
        QCOMPARE(image.pixel(7, 9), kWaveBackground);
        // Silence draws nothing but the centre line.
        QCOMPARE(image.pixel(8, 63), kWaveBackground);
        QCOMPARE(image.pixel(8, 64), kWaveStroke);
        QCOMPARE(image.pixel(600, 64), kWaveStroke);
        // Ticks: every second up to row 101, every 100 ms up to row 121, none past the file.
        QCOMPARE(image.pixel(100, 101), kWaveStroke);
        QCOMPARE(image.pixel(100, 100), kWaveBackground);
        QCOMPARE(image.pixel(110, 121), kWaveStroke);
        QCOMPARE(image.pixel(110, 120), kWaveBackground);
        QCOMPARE(image.pixel(115, 126), kWaveBackground);
        QCOMPARE(image.pixel(510, 126), kWaveBackground);
        // The play line runs the whole height.
        QCOMPARE(image.pixel(250, 0), kPlayLine);
        QCOMPARE(image.pixel(250, 126), kPlayLine);
    }

    // Arrays shorter than the last point never read past their end.
    void shortArraysAreSafe() {
        const std::vector<std::int32_t> none;
        const WaveFrame frame = renderWave(none, none, 2000, 1200, QSize(698, 127));
        QCOMPARE(frame.placement.offset, 850);
        QCOMPARE(frame.image.pixel(350, 0), kPlayLine);
    }

    void rounding_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("rounded");
        QTest::newRow("3599.5") << 3599.5 << 3600;
        QTest::newRow("3598.5") << 3598.5 << 3598;
        QTest::newRow("59.5") << 59.5 << 60;
        QTest::newRow("58.5") << 58.5 << 58;
        QTest::newRow("12.349") << 12.349 << 12;
        QTest::newRow("negative") << -1.0 << -1;
        QTest::newRow("held at the top") << 40000.0 << 32767;
    }
    void rounding() {
        QFETCH(double, seconds);
        QTEST(int{roundSeconds(seconds)}, "rounded");
    }

    void sliderLimit() {
        QVERIFY(fitsSlider(32767.4));
        QVERIFY(!fitsSlider(32767.5));
    }

    void formatTime_data() {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64{0} << "00:00:00";
        QTest::newRow("65") << qint64{65} << "00:01:05";
        QTest::newRow("3725") << qint64{3725} << "01:02:05";
        QTest::newRow("86400") << qint64{86400} << "00:00:00";
        QTest::newRow("90000") << qint64{90000} << "01:00:00";
    }
    void formatTime() {
        QFETCH(qint64, seconds);
        QTEST(FormatTime(seconds), "text");
    }
};

QTEST_GUILESS_MAIN(TestWaveView)
#include "test_wave_view.moc"
