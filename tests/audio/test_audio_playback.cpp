// The audio layer playing for real: a generated tone through the default QAudioSink, which under
// the test script is PulseAudio's null sink. The position must follow the real clock.
#include "audio/mod_bass.h"
#include "audio/mod_bass_fx.h"
#include "tests/audio/wav_maker.h"

#include <QAudioDevice>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <QtTest>

using namespace wav_maker;

namespace {
QWORD position(DWORD handle) {
    return BASS_ChannelGetPosition(handle, BASS_POS_BYTE);
}
} // namespace

class TestAudioPlayback : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    HSTREAM m_stream = 0;

private Q_SLOTS:
    void initTestCase() {
        if (QMediaDevices::audioOutputs().isEmpty()) {
            // The test script starts a sound server and says so; there the test must run.
            if (qEnvironmentVariableIsSet("QUILLET_SOUND_SERVER"))
                QFAIL("a sound server was started for the tests, but Qt sees no audio output");
            QSKIP("no audio output device; scripts/test.sh starts PulseAudio with a null sink");
        }
        QVERIFY(BASS_Init(-1, 44100, 0, nullptr, nullptr));
        const QString path = m_dir.filePath("tone-440-44100-2ch-6s.wav");
        QVERIFY(write(path, wav(44100, 2, tone(44100, 2, 6.0))));
        const HSTREAM decode =
            BASS_StreamCreateFile(false, path, 0, 0, BASS_STREAM_DECODE | BASS_UNICODE);
        m_stream = BASS_FX_TempoCreate(decode, BASS_SAMPLE_LOOP | BASS_FX_FREESOURCE);
        QVERIFY(m_stream);
    }
    void cleanupTestCase() { BASS_Free(); }

    void positionFollowsTheClockPauseHoldsStopRewinds() {
        const HSTREAM h = m_stream;
        QVERIFY(BASS_ChannelPlay(h, true));
        QCOMPARE(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING);
        // The sink may stall for a moment right after its first start; measure once sound flows.
        QTRY_VERIFY_WITH_TIMEOUT(position(h) > 0, 3000);
        QTest::qWait(200);

        QElapsedTimer clock;
        const double startSeconds = BASS_ChannelBytes2Seconds(h, position(h));
        clock.start();
        QTest::qWait(2000);
        const double heardSeconds = BASS_ChannelBytes2Seconds(h, position(h)) - startSeconds;
        const double wallSeconds = double(clock.nsecsElapsed()) / 1e9;
        QVERIFY2(
            std::abs(heardSeconds / wallSeconds - 1.0) <= 0.10,
            qPrintable(QStringLiteral("%1 s of sound in %2 s").arg(heardSeconds).arg(wallSeconds)));

        QVERIFY(BASS_ChannelPause(h));
        QCOMPARE(BASS_ChannelIsActive(h), BASS_ACTIVE_PAUSED);
        const QWORD held = position(h);
        QTest::qWait(500);
        QCOMPARE(position(h), held);
        QCOMPARE(BASS_ChannelIsActive(h), BASS_ACTIVE_PAUSED);

        QVERIFY(BASS_ChannelPlay(h, false));
        QTRY_VERIFY_WITH_TIMEOUT(position(h) > held, 3000);

        // Stop as the window does it: stop, then back to the start.
        QVERIFY(BASS_ChannelStop(h));
        QVERIFY(BASS_ChannelSetPosition(h, BASS_ChannelSeconds2Bytes(h, 0), BASS_POS_BYTE));
        QCOMPARE(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
        QCOMPARE(position(h), QWORD(0));
        QTest::qWait(300);
        QCOMPARE(position(h), QWORD(0));
    }

    void endOfDataReportsStoppedAndPlayStartsOver() {
        const HSTREAM h = m_stream;
        const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
        QVERIFY(
            BASS_ChannelSetPosition(h, length - BASS_ChannelSeconds2Bytes(h, 0.5), BASS_POS_BYTE));
        QVERIFY(BASS_ChannelPlay(h, false));
        QTRY_COMPARE_WITH_TIMEOUT(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED, 5000);
        QCOMPARE(position(h), length);

        QVERIFY(BASS_ChannelPlay(h, false));
        QCOMPARE(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING);
        QVERIFY(position(h) < BASS_ChannelSeconds2Bytes(h, 1));
        QVERIFY(BASS_ChannelStop(h));
    }
};

QTEST_GUILESS_MAIN(TestAudioPlayback)
#include "test_audio_playback.moc"
