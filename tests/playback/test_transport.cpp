// Play, Pause, Stop and Play Selection on the real window with a loaded file, playing through the
// real audio output; the timers that keep the slider, the labels and the play line in step.
#include "app/form1.h"
#include "app/message_box.h"
#include "app/selection_slider.h"
#include "app/wave_view.h"
#include "app/working_folder.h"
#include "audio/mod_bass.h"
#include "tests/support/test_audio.h"

#include <QTemporaryDir>

using testaudio::waitFor;

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
        QVERIFY(waitFor([&] {
            return w.lblTime->text() == "00:00:05" && w.Slider1->value() == 5 &&
                   w.nWavePos == int(paused * 100);
        }));
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

    // A press in the strip after Stop moves the position but keeps Play's start at 0; a release
    // on the slider moves it to the slider's second and Play goes on from there. A press in a
    // scrolled strip lands on the point under it.
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
        w.cmdPause_Click();
        w.nWavePos = 2350;
        w.DrawWaveData(); // scrolled: point 2000 at column 0
        w.PicWave_MouseDown(150);
        QCOMPARE(seconds(), 21.5);
        QCOMPARE(w.Slider1->value(), 22); // rounded to the even second
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
        QList<int> shown; // the seconds the slider shows while the selection plays
        const auto watch =
            connect(w.Slider1, &QSlider::valueChanged, &w, [&](int value) { shown << value; });
        w.cmdPlaySelection_Click();
        QVERIFY(w.bPlaySelection && state() == BASS_ACTIVE_PLAYING);
        QVERIFY(seconds() >= begin && seconds() < begin + 0.4);
        QVERIFY(waitFor([&] { return !w.bPlaySelection; }));
        disconnect(watch);
        QCOMPARE(shown, QList<int>({begin, begin + 1, 0}));
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
