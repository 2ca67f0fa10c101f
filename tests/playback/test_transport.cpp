// Play, Pause, Stop, Play Selection, the timers, the slider and the waveform strip on the real
// window with a loaded file, playing through the real audio output.
#include "app/form1.h"
#include "app/message_box.h"
#include "app/selection_slider.h"
#include "app/wave_view.h"
#include "audio/mod_bass.h"
#include "tests/support/test_audio.h"

#include <QSettings>
#include <QTemporaryDir>

#include <memory>

using testaudio::waitFor;

namespace {

double positionSeconds(const Form1& w) {
    const auto h = static_cast<DWORD>(w.hStream);
    return BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, BASS_POS_BYTE));
}

void seekTo(const Form1& w, double seconds) {
    const auto h = static_cast<DWORD>(w.hStream);
    BASS_ChannelSetPosition(h, BASS_ChannelSeconds2Bytes(h, seconds), BASS_POS_BYTE);
}

bool playing(const Form1& w) {
    return BASS_ChannelIsActive(static_cast<DWORD>(w.hStream)) == BASS_ACTIVE_PLAYING;
}

} // namespace

class TestTransport : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QTemporaryDir m_settings;
    std::unique_ptr<Form1> m_window;
    QList<ShownMessage> m_messages;

private Q_SLOTS:
    void initTestCase() {
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
        setMessageHandler([this](const ShownMessage& m) { m_messages << m; });
        QVERIFY(testaudio::makeTone(m_dir.filePath(QStringLiteral("tone.wav")), 30));
    }

    void init() {
        QFile::remove(Form1::programFile(QStringLiteral("temp.wav")));
        m_messages.clear();
        m_window = std::make_unique<Form1>();
        if (!BASS_Init(-1, 44100, 0, nullptr, nullptr))
            QSKIP("No audio output device (start the test services first)");
        m_window->LoadMedia(m_dir.filePath(QStringLiteral("tone.wav")));
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
        QCOMPARE(m_window->Slider1->maximum(), 30);
    }

    void cleanup() {
        m_window->close();
        m_window.reset();
        BASS_Free();
    }

    void playWithoutAFile() {
        Form1& w = *m_window;
        w.txtAudioFile->setText(QStringLiteral(" Please select first input audio file"));
        w.cmdPlay_Click();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, QStringLiteral("Please select first input audio file"));
        QCOMPARE(m_messages[0].title, QStringLiteral("Select Audio"));
        QCOMPARE(m_messages[0].style, 48);
        QVERIFY(!playing(w));
    }

    // Stop, then Play starts at 0; Play again while playing starts at 0 once more; after Pause,
    // Play resumes where it paused.
    void restartFlag() {
        Form1& w = *m_window;
        seekTo(w, 12);
        w.cmdStop_Click();
        QVERIFY(w.bRestart);
        QCOMPARE(w.lblTime->text(), QStringLiteral("00:00:00"));
        QCOMPARE(w.Slider1->value(), 0);
        QCOMPARE(w.nWavePos, 0);
        w.cmdPlay_Click();
        QVERIFY(playing(w));
        QVERIFY(positionSeconds(w) < 0.5);
        QVERIFY(waitFor([&] { return positionSeconds(w) > 0.6; }));
        w.cmdPlay_Click();
        QVERIFY(positionSeconds(w) < 0.5);

        QVERIFY(waitFor([&] { return positionSeconds(w) > 0.6; }));
        w.cmdPause_Click();
        QVERIFY(!w.bRestart);
        const double paused = positionSeconds(w);
        QTest::qWait(300);
        QCOMPARE(positionSeconds(w), paused); // pause holds
        QCOMPARE(BASS_ChannelIsActive(static_cast<DWORD>(w.hStream)), BASS_ACTIVE_PAUSED);
        w.cmdPlay_Click();
        QVERIFY(positionSeconds(w) >= paused);
        QVERIFY(positionSeconds(w) < paused + 0.3);
    }

    // Timer1 keeps the slider and labels on the paused position; Timer2 draws nothing while
    // the position stands still.
    void timersWhilePaused() {
        Form1& w = *m_window;
        seekTo(w, 4.0);
        w.cmdPlay_Click();
        QVERIFY(waitFor([&] { return positionSeconds(w) > 4.6; }));
        w.cmdPause_Click();
        // Both timers catch up with the held position once, then nothing moves.
        QVERIFY(waitFor([&] {
            return w.lblTime->text() == QStringLiteral("00:00:05") &&
                   w.nWavePos == int(std::floor(positionSeconds(w) * 100));
        }));
        QCOMPARE(w.Slider1->value(), 5);
        const qint64 drawn = w.PicWave->image().cacheKey();
        const int point = w.nWavePos;
        QTest::qWait(300);
        QCOMPARE(w.PicWave->image().cacheKey(), drawn);
        QCOMPARE(w.nWavePos, point);
        QCOMPARE(w.Slider1->value(), 5);
        QCOMPARE(w.lblTotalTime->text(), QStringLiteral("00:00:30"));
    }

    // The play line moves one point a tick, never back, while the sink's own figure moves in
    // 40-60 ms steps; Pause holds it where it stands and Play goes on from there.
    void playLineIsSmooth() {
        Form1& w = *m_window;
        w.cmdStop_Click();
        QList<int> points;
        const auto record = connect(w.Timer2, &QTimer::timeout, &w, [&] { points << w.nWavePos; });
        w.cmdPlay_Click();
        QTest::qWait(3000);
        const double playing = positionSeconds(w);
        w.cmdPause_Click();
        disconnect(record);
        const double held = positionSeconds(w);
        QVERIFY(held >= playing);
        QTest::qWait(200);
        QCOMPARE(positionSeconds(w), held);
        w.cmdPlay_Click();
        QVERIFY(positionSeconds(w) >= held);
        QVERIFY(waitFor([&] { return positionSeconds(w) > held + 0.1; }));

        int moves = 0, single = 0;
        for (qsizetype i = 1; i < points.size(); ++i) {
            const int step = points[i] - points[i - 1];
            QVERIFY2(step >= 0,
                     qPrintable(QString("back from %1 to %2").arg(points[i - 1]).arg(points[i])));
            moves += step != 0;
            single += step == 1;
        }
        QVERIFY2(moves > 200 && single >= 0.9 * moves,
                 qPrintable(QString("%1 of %2 moves one point").arg(single).arg(moves)));
    }

    // A press in the strip after Stop moves the position but keeps the restart flag; a release
    // on the slider clears it, so Play starts from the slider's second.
    void stripAndSliderSeeks() {
        Form1& w = *m_window;
        w.cmdStop_Click();
        w.PicWave_MouseDown(300);
        QCOMPARE(w.nWavePos, 300);
        QCOMPARE(positionSeconds(w), 3.0);
        QVERIFY(w.bRestart);
        QCOMPARE(w.lblTime->text(), QStringLiteral("00:00:00"));
        w.cmdPlay_Click();
        QVERIFY(positionSeconds(w) < 0.5);

        w.cmdStop_Click();
        w.Slider1_MouseDown();
        QVERIFY(!w.Timer1->isActive());
        QCOMPARE(w.Timer1->interval(), 0);
        w.Slider1->setValue(20);
        w.Slider1_MouseUp();
        QVERIFY(!w.bRestart);
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(w.Timer1->interval(), 100);
        QVERIFY(waitFor([&] { return w.nWavePos == 2000; }, 1000));
        QCOMPARE(w.lblTime->text(), QStringLiteral("00:00:00"));
        w.cmdPlay_Click();
        QVERIFY(positionSeconds(w) >= 20.0 && positionSeconds(w) < 20.5);
    }

    // Play after a press on the slider that had no release runs Timer1 at 100 ms again.
    void playRestoresTimer1() {
        Form1& w = *m_window;
        w.Slider1_MouseDown();
        w.cmdPlay_Click();
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(w.Timer1->interval(), 100);
    }

    void pressWithAnOffset() {
        Form1& w = *m_window;
        w.nWavePos = 2350;
        w.DrawWaveData();
        QCOMPARE(w.nWaveOffset, 2000);
        w.PicWave_MouseDown(150);
        QCOMPARE(positionSeconds(w), 21.5);
        QCOMPARE(w.nWavePos, 2150);
        QCOMPARE(w.Slider1->value(), 22); // 21.5 rounds to the even second
        QCOMPARE(w.Slider1->maximum(), 30);
    }

    // With no file the slider goes back to 0 and Timer1 stays off; the strip ignores presses.
    void withoutAFile() {
        Form1& w = *m_window;
        QVERIFY(QFile::remove(Form1::programFile(QStringLiteral("temp.wav"))));
        w.Slider1_MouseDown();
        w.Slider1->setValue(7);
        w.Slider1_MouseUp();
        QCOMPARE(w.Slider1->value(), 0);
        QVERIFY(!w.Timer1->isActive());
        w.PicWave_MouseDown(200);
        QCOMPARE(w.nWavePos, 0);
    }

    // The marked stretch plays from its begin, also from second 0, and stops, rewinding to 0,
    // once the position rounds to its end.
    void playSelection_data() {
        QTest::addColumn<int>("begin");
        QTest::newRow("from 10 s") << 10;
        QTest::newRow("from the start") << 0;
    }
    void playSelection() {
        QFETCH(int, begin);
        Form1& w = *m_window;
        w.cmdPlaySelection_Click(); // no marks: nothing happens
        QVERIFY(!w.bPlaySelection);
        QVERIFY(!playing(w));

        w.Slider1->setValue(begin);
        w.cmdBeginCut_Click();
        w.Slider1->setValue(begin + 1);
        w.cmdEndCut_Click();
        w.cmdPlaySelection_Click();
        QVERIFY(w.bPlaySelection);
        QVERIFY(playing(w));
        QVERIFY(positionSeconds(w) >= begin && positionSeconds(w) < begin + 0.4);
        QVERIFY(waitFor([&] { return !w.bPlaySelection; }, 3000));
        QVERIFY(w.bRestart);
        QCOMPARE(w.Slider1->value(), 0);
        QCOMPARE(w.lblTime->text(), QStringLiteral("00:00:00"));
        QCOMPARE(positionSeconds(w), 0.0);
        QVERIFY(!playing(w));
    }

    // While marking, the selection grows with the position.
    void markingFollowsThePosition() {
        Form1& w = *m_window;
        w.Slider1->setSelStart(2);
        w.bMarking = true;
        seekTo(w, 2.0);
        w.bRestart = false;
        w.cmdPlay_Click();
        QVERIFY(waitFor([&] { return w.Slider1->value() >= 3; }));
        QCOMPARE(w.Slider1->selLength(), w.Slider1->value() - 2);
        w.cmdStop_Click();
    }
};

QTEST_MAIN(TestTransport)
#include "test_transport.moc"
