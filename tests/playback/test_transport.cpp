// The waveform strip drawn on its own, the slider's rounding and the time texts; then Play, Pause,
// Stop and Play Selection on the real window with a loaded file, playing through the real audio
// output, and the timers that keep the slider, the labels and the play line in step.
#include "app/form1.h"
#include "app/format_time.h"
#include "app/message_box.h"
#include "app/selection_slider.h"
#include "app/wave_view.h"
#include "app/working_folder.h"
#include "audio/mod_bass.h"
#include "playback/wave_render.h"
#include "tests/support/test_audio.h"

#include <QTemporaryDir>

using testaudio::waitFor;

namespace {
constexpr QRgb kBackground = qRgb(33, 47, 56), kStroke = qRgb(81, 235, 63);
constexpr QRgb kYellow = qRgb(255, 255, 0);
} // namespace

class TestTransport : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<Form1> m_window;
    QList<ShownMessage> m_messages;

    double seconds() const {
        const auto h = DWORD(m_window->hStream);
        return BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, BASS_POS_BYTE));
    }
    DWORD state() const { return BASS_ChannelIsActive(DWORD(m_window->hStream)); }
    // Waits until the position has moved past `from` by `by` seconds.
    bool playsOn(double from, double by = 0.3) const {
        return waitFor([&] { return seconds() > from + by; });
    }

private Q_SLOTS:
    void initTestCase() {
        setMessageHandler([this](const ShownMessage& m) { m_messages << m; });
        QVERIFY(testaudio::makeTone(m_dir.filePath("tone.wav"), 30));
        QFile::remove(tempWavPath());
        m_window = std::make_unique<Form1>();
        if (!BASS_Init(-1, 44100, 0, nullptr, nullptr))
            QSKIP("No audio output device (start the test services first)");
        m_window->LoadMedia(m_dir.filePath("tone.wav"));
        QCOMPARE(m_window->Slider1->maximum(), 30);
    }
    void init() {
        m_window->cmdStop_Click();
        m_messages.clear();
    }
    void cleanupTestCase() {
        m_window.reset();
        BASS_Free();
    }

    // The play line's column and the point drawn at column 0, for the line at point `position` of
    // a file whose last point is `last`.
    void placement_data() {
        for (const char* column : {"position", "last", "column", "offset"})
            QTest::addColumn<int>(column);
        const int rows[][4] = {{349, 5000, 349, 0},     {350, 5000, 350, 0},
                               {2150, 5000, 350, 1800}, {800, 500, 800, 0},
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
        const std::vector<std::int32_t> flat(last + 1, 64);
        const WaveFrame frame = renderWave(flat, flat, last, position, QSize(1001, 128));
        QCOMPARE(frame.image.pixel(column, 0), kYellow);
        QTEST(int(frame.placement.offset), "offset");
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
    // Stop, then Play starts at 0, and Play again while playing starts at 0 once more; after
    // Pause the position holds, the slider and labels show it and nothing is drawn, and Play goes
    // on from there.
    void playPauseStop() {
        Form1& w = *m_window;
        w.cmdPlay_Click();
        QVERIFY(state() == BASS_ACTIVE_PLAYING && seconds() < 0.5 && playsOn(0.6));
        w.cmdPlay_Click();
        QVERIFY(seconds() < 0.5);
        BASS_ChannelSetPosition(w.hStream, BASS_ChannelSeconds2Bytes(w.hStream, 4.4), 0);
        QVERIFY(playsOn(4.4));
        w.cmdPause_Click();
        const double paused = seconds();
        QVERIFY(
            waitFor([&] { return w.lblTime->text() == "00:00:05" && w.Slider1->value() == 5; }));
        QCOMPARE(w.nWavePos, int(paused * 100));
        const qint64 drawn = w.PicWave->image().cacheKey();
        QTest::qWait(300);
        QCOMPARE(seconds(), paused);
        QCOMPARE(w.PicWave->image().cacheKey(), drawn);
        w.cmdPlay_Click();
        QVERIFY(seconds() >= paused && seconds() < paused + 0.3 && playsOn(paused));
        w.cmdStop_Click();
        QVERIFY(state() == BASS_ACTIVE_STOPPED && seconds() == 0 && w.nWavePos == 0);
        QCOMPARE(w.lblTime->text(), "00:00:00");
        QCOMPARE(w.Slider1->value(), 0);
    }

    // The play line moves with the sound a point at a time and never back.
    void playLine() {
        Form1& w = *m_window;
        QList<int> points;
        const auto record = connect(w.Timer2, &QTimer::timeout, &w, [&] { points << w.nWavePos; });
        w.cmdPlay_Click();
        QVERIFY(waitFor([&] { return w.nWavePos > 150; }));
        disconnect(record);
        QVERIFY(std::is_sorted(points.begin(), points.end()));
        QVERIFY(QSet<int>(points.begin(), points.end()).size() > 50);
    }

    // A press in the strip after Stop moves the position but keeps Play's start at 0; a release
    // on the slider moves it to the slider's second and Play goes on from there.
    void seeks() {
        Form1& w = *m_window;
        w.PicWave_MouseDown(300);
        QVERIFY(w.nWavePos == 300 && seconds() == 3.0);
        w.cmdPlay_Click();
        QVERIFY(seconds() < 0.5);
        w.cmdStop_Click();
        w.Slider1_MouseDown();
        w.Slider1->setValue(20);
        w.Slider1_MouseUp();
        QVERIFY(waitFor([&] { return w.nWavePos == 2000; }));
        QCOMPARE(w.lblTime->text(), "00:00:00");
        w.cmdPlay_Click();
        QVERIFY(seconds() >= 20.0 && seconds() < 20.5);
    }

    // Between Begin Cut and End Cut the selection grows with the position; Play Selection plays
    // the marked stretch from its begin, also from second 0, and Timer1 stops it, rewinding to 0,
    // once the position rounds to its end.
    void playSelection_data() {
        QTest::addColumn<int>("begin");
        QTest::newRow("from 10 s") << 10;
        QTest::newRow("from the start") << 0;
    }
    void playSelection() {
        QFETCH(int, begin);
        Form1& w = *m_window;
        w.Slider1_MouseDown();
        w.Slider1->setValue(begin);
        w.Slider1_MouseUp();
        w.cmdBeginCut_Click();
        w.cmdPlay_Click();
        QVERIFY(waitFor([&] { return w.Slider1->value() == begin + 1; }));
        QCOMPARE(w.Slider1->selLength(), 1);
        w.cmdEndCut_Click();
        w.cmdPlaySelection_Click();
        QVERIFY(w.bPlaySelection && state() == BASS_ACTIVE_PLAYING);
        QVERIFY(seconds() >= begin && seconds() < begin + 0.4);
        QVERIFY(waitFor([&] { return !w.bPlaySelection; }, 3000));
        QVERIFY(w.bRestart && state() == BASS_ACTIVE_STOPPED && seconds() == 0);
        QCOMPARE(w.Slider1->value(), 0);
        QCOMPARE(w.lblTime->text(), "00:00:00");
    }

    // Without a file Play says so, the slider goes back to 0 and the strip ignores presses.
    void withoutAFile() {
        Form1& w = *m_window;
        QVERIFY(QFile::remove(tempWavPath()));
        w.cmdPlay_Click();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].title + ": " + m_messages[0].text,
                 "Select Audio: Please select first input audio file");
        QCOMPARE(m_messages[0].style, 48);
        w.Slider1_MouseDown();
        w.Slider1->setValue(7);
        w.Slider1_MouseUp();
        w.PicWave_MouseDown(200);
        QVERIFY(w.Slider1->value() == 0 && !w.Timer1->isActive() && w.nWavePos == 0);
    }
};

QTEST_MAIN(TestTransport)
#include "test_transport.moc"
