// The waveform strip's window over the file and its picture, the slider's rounding and the time
// texts.
#include "app/format_time.h"
#include "playback/wave_render.h"

#include <QTest>

namespace {
constexpr QRgb kBackground = qRgb(33, 47, 56), kStroke = qRgb(81, 235, 63);
constexpr QRgb kYellow = qRgb(255, 255, 0);
} // namespace

class TestWaveView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The play line's column and the point drawn at column 0, for the line at point `position` of
    // a file whose last point is `last`; the ticks stand under the points they mark.
    void placement_data() {
        for (const char* column : {"position", "last", "column", "offset"})
            QTest::addColumn<int>(column);
        const int rows[][4] = {{349, 5000, 349, 0},     {350, 5000, 350, 0},
                               {2155, 5000, 350, 1805}, {800, 500, 800, 0},
                               {900, 999, 900, 0},      {650, 1000, 350, 300},
                               {651, 1000, 651, 0},     {4650, 5000, 350, 4300},
                               {4651, 5000, 651, 4000}, {5000, 5000, 1000, 4000}};
        for (const auto& r : rows)
            QTest::addRow("%d of %d", r[0], r[1]) << r[0] << r[1] << r[2] << r[3];
    }
    void placement() {
        QFETCH(int, position);
        QFETCH(int, last);
        QFETCH(int, column);
        QFETCH(int, offset);
        const std::vector<std::int32_t> flat(last + 1, 64);
        const WaveFrame frame = renderWave(flat, flat, last, position, QSize(1001, 128));
        QCOMPARE(frame.image.pixel(column, 0), kYellow);
        QCOMPARE(frame.placement.offset, offset);
        const int second = (100 - offset % 100) % 100; // the column of the first whole second
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
        // Arrays shorter than the last point are never read past their end.
        const std::vector<std::int32_t> none;
        QCOMPARE(renderWave(none, none, 2000, 1200, QSize(698, 127)).image.pixel(350, 0), kYellow);
    }

    // Halves go to the even second; the slider holds 16 bits; the time is a time of day.
    void timeTexts() {
        const std::tuple<double, int, const char*> rows[] = {
            {3599.5, 3600, "01:00:00"}, {3598.5, 3598, "00:59:58"}, {59.5, 60, "00:01:00"},
            {58.5, 58, "00:00:58"},     {12.349, 12, "00:00:12"},   {40000, 32767, "09:06:07"}};
        for (const auto& [seconds, rounded, text] : rows) {
            QCOMPARE(int(roundSeconds(seconds)), rounded);
            QCOMPARE(FormatTime(rounded), QString::fromLatin1(text));
        }
        QCOMPARE(FormatTime(90000), QStringLiteral("01:00:00"));
        QVERIFY(fitsSlider(32767.4) && !fitsSlider(32767.5));
    }
};

QTEST_GUILESS_MAIN(TestWaveView)
#include "test_wave_view.moc"
