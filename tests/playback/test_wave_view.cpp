// The waveform strip's picture, needing no window: where the play line and the ticks stand, and
// what is drawn where.
#include "playback/wave_render.h"
#include "tests/support/test_support.h"

#include <QImage>

namespace {
constexpr QRgb kBackground = qRgb(33, 47, 56), kStroke = qRgb(81, 235, 63);
constexpr QRgb kYellow = qRgb(255, 255, 0);
} // namespace

class TestWaveView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The play line's column and the point drawn at column 0, for the line at point `position` of
    // a file whose last point is `last`, on a strip `width` columns wide; the ticks stand under
    // the points they mark. Over the last 350 points the file's end stands at the last column.
    void placement_data() {
        columns<int, int, int, int, int>({"position", "last", "width", "column", "offset"});
        const int rows[][5] = {{349, 5000, 1001, 349, 0},     {350, 5000, 1001, 350, 0},
                               {2155, 5000, 1001, 350, 1805}, {800, 500, 1001, 800, 0},
                               {900, 999, 1001, 900, 0},      {650, 1000, 1001, 350, 300},
                               {651, 1000, 1001, 651, 0},     {4650, 5000, 1001, 350, 4300},
                               {4651, 5000, 1001, 651, 4000}, {5000, 5000, 1001, 1000, 4000},
                               {4650, 5000, 698, 350, 4300},  {4651, 5000, 698, 348, 4303},
                               {5000, 5000, 698, 697, 4303},  {2155, 5000, 698, 350, 1805},
                               {550, 900, 698, 550, 0},       {551, 900, 698, 348, 203},
                               {900, 900, 698, 697, 203},     {500, 697, 698, 500, 0},
                               {5000, 5000, 1200, 1000, 4000}};
        for (const auto& r : rows)
            QTest::addRow("%d of %d in %d", r[0], r[1], r[2])
                << r[0] << r[1] << r[2] << r[3] << r[4];
    }
    void placement() {
        QFETCH(int, position);
        QFETCH(int, last);
        QFETCH(int, width);
        QFETCH(int, column);
        const std::vector<std::int32_t> flat(last + 1, 64);
        const WaveFrame frame = renderWave(flat, flat, last, position, QSize(width, 128));
        QCOMPARE(frame.image.pixel(column, 0), kYellow);
        QTEST(frame.placement.offset, "offset");
        const int second = (100 - frame.placement.offset % 100) % 100; // first second's tick
        QCOMPARE(frame.image.pixel(second, 101), kStroke);
        QCOMPARE(frame.image.pixel(second, 100), kBackground);
    }

    // A 500-point file: strokes and ticks end at column 500, the centre line runs on, lines stop
    // short of their end row.
    void picture() {
        std::vector<std::int32_t> top(501, 64), bottom(501, 64);
        top[7] = 10;
        bottom[7] = 100;
        const QImage image = renderWave(top, bottom, 500, 250, QSize(698, 127)).image;
        const std::tuple<int, int, QRgb> pixels[] = {
            {7, 9, kBackground},     {7, 10, kStroke},        {7, 99, kStroke},
            {7, 100, kBackground},   {8, 63, kBackground},    {8, 64, kStroke},
            {600, 64, kStroke},      {100, 100, kBackground}, {100, 101, kStroke}, // a second
            {110, 120, kBackground}, {110, 121, kStroke},                          // 100 ms
            {115, 126, kBackground}, {510, 126, kBackground}, {250, 0, kYellow},
            {250, 126, kYellow}};
        for (const auto& [x, y, colour] : pixels)
            QVERIFY2(image.pixel(x, y) == colour,
                     qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
    }
};

QTEST_MAIN(TestWaveView)
#include "test_wave_view.moc"
