// The audio layer's logic against an output whose clock the test drives: positions, transport
// states, seeks, the end of the data, lengths and conversions, files it refuses, the life cycle of
// the library and the tempo stream.
#include "audio/mod_bass.h"
#include "audio/mod_bass_fx.h"
#include "audio/null_audio_output.h"
#include "tests/audio/wav_maker.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace wav_maker;

namespace {
constexpr qint64 kSecondBytes = 44100 * 4; // 16-bit stereo at 44100 Hz
constexpr qint64 kBufferBytes = kSecondBytes / 10;
constexpr qint64 kStepBytes = 8820; // 50 ms
constexpr QWORD kInvalid = ~QWORD(0);

QWORD position(DWORD handle) {
    return BASS_ChannelGetPosition(handle, BASS_POS_BYTE);
}

// The stream the loader makes: a decoding stream wrapped in a tempo stream that owns it.
HSTREAM openTempo(const QString& path) {
    const HSTREAM decode =
        BASS_StreamCreateFile(false, path, 0, 0, BASS_STREAM_DECODE | BASS_UNICODE);
    return decode ? BASS_FX_TempoCreate(decode, BASS_SAMPLE_LOOP | BASS_FX_FREESOURCE) : 0;
}
} // namespace

class TestAudioLayer : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_rampPath; // one second of 44100 Hz stereo ramp
    QByteArray m_ramp;
    NullAudioOutput* m_output = nullptr;

    QString makeFile(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        if (!write(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // Lets the output play bytes (fewer when the data ends first) and returns what was heard.
    QByteArray hearBytes(qint64 bytes) {
        QByteArray heard;
        while (heard.size() < bytes) {
            const QByteArray got = m_output->hear(std::min(bytes - heard.size(), kBufferBytes));
            if (got.isEmpty())
                break;
            heard += got;
        }
        return heard;
    }

    // Runs steps such as "play,hear,pause,seek=88200" on handle.
    void run(HSTREAM handle, const QString& steps) {
        for (const QString& step : steps.split(QLatin1Char(','))) {
            const QString name = step.section(QLatin1Char('='), 0, 0);
            const qint64 arg = step.section(QLatin1Char('='), 1).toLongLong();
            if (name == "play")
                BASS_ChannelPlay(handle, false);
            else if (name == "restart")
                BASS_ChannelPlay(handle, true);
            else if (name == "pause")
                BASS_ChannelPause(handle);
            else if (name == "stop")
                BASS_ChannelStop(handle);
            else if (name == "rewind") // what the window's Stop does after stopping
                BASS_ChannelSetPosition(handle, BASS_ChannelSeconds2Bytes(handle, 0),
                                        BASS_POS_BYTE);
            else if (name == "seek")
                BASS_ChannelSetPosition(handle, QWORD(arg), BASS_POS_BYTE);
            else if (name == "hear") { // and look, as the window's timers do
                hearBytes(arg ? arg : kStepBytes);
                position(handle);
            } else if (name == "look")
                position(handle);
            else if (name == "tick") // time passes, the output reports nothing new
                m_output->tick(arg * 1000000);
            else if (name == "end")
                hearBytes(m_ramp.size() + kBufferBytes);
            else
                QFAIL(qPrintable("unknown step " + step));
        }
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_ramp = ramp(kSecondBytes);
        m_rampPath = makeFile("ramp-44100-2ch-1s.wav", wav(44100, 2, m_ramp));
    }
    void init() {
        setAudioOutputFactory([this] {
            auto output = std::make_unique<NullAudioOutput>(kBufferBytes);
            m_output = output.get();
            return output;
        });
        QVERIFY(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    }
    void cleanup() {
        BASS_Free();
        setAudioOutputFactory({});
        m_output = nullptr;
    }

    void versionsAre24() {
        QCOMPARE(BASS_GetVersion() >> 16, 0x0204u);
        QCOMPARE(BASS_FX_GetVersion() >> 16, 0x0204u);
    }

    void positionIsWhatIsHeard() {
        const HSTREAM h = openTempo(m_rampPath);
        QVERIFY(h);
        QCOMPARE(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
        QCOMPARE(position(h), QWORD(0));
        QVERIFY(BASS_ChannelPlay(h, false));
        // The output has read ahead a whole buffer, but none of it has been heard.
        QCOMPARE(m_output->bufferedBytes(), kBufferBytes);
        for (qint64 at = 0; at < 3 * kBufferBytes; at += 1764) {
            QCOMPARE(position(h), QWORD(at));
            QCOMPARE(m_output->hear(1764), m_ramp.mid(at, 1764));
        }
    }

    void transport_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<DWORD>("state");
        QTest::addColumn<qint64>("at");
        // Positions and states.
        QTest::newRow("new stream") << "hear" << BASS_ACTIVE_STOPPED << 0ll;
        QTest::newRow("play") << "play" << BASS_ACTIVE_PLAYING << 0ll;
        QTest::newRow("play, hear") << "play,hear" << BASS_ACTIVE_PLAYING << kStepBytes;
        QTest::newRow("play again while playing")
            << "play,hear,play" << BASS_ACTIVE_PLAYING << kStepBytes;
        // Pause holds the position; play goes on from it.
        QTest::newRow("pause") << "play,hear,pause" << BASS_ACTIVE_PAUSED << kStepBytes;
        QTest::newRow("pause holds") << "play,hear,pause,hear" << BASS_ACTIVE_PAUSED << kStepBytes;
        QTest::newRow("pause, play") << "play,hear,pause,play" << BASS_ACTIVE_PLAYING << kStepBytes;
        QTest::newRow("pause a stopped stream") << "pause" << BASS_ACTIVE_STOPPED << 0ll;
        // Stop keeps what was heard; the window's Stop then returns to 0.
        QTest::newRow("stop") << "play,hear,stop" << BASS_ACTIVE_STOPPED << kStepBytes;
        QTest::newRow("stop, hear") << "play,hear,stop,hear" << BASS_ACTIVE_STOPPED << kStepBytes;
        QTest::newRow("stop, rewind") << "play,hear,stop,rewind" << BASS_ACTIVE_STOPPED << 0ll;
        QTest::newRow("stop, play") << "play,hear,stop,play" << BASS_ACTIVE_PLAYING << kStepBytes;
        QTest::newRow("stop, rewind, play")
            << "play,hear,stop,rewind,play" << BASS_ACTIVE_PLAYING << 0ll;
        QTest::newRow("restart while playing") << "play,hear,restart" << BASS_ACTIVE_PLAYING << 0ll;
        QTest::newRow("restart while paused")
            << "play,hear,pause,restart" << BASS_ACTIVE_PLAYING << 0ll;
        // Seeks while stopped, paused and playing.
        QTest::newRow("seek stopped") << "seek=88200" << BASS_ACTIVE_STOPPED << 88200ll;
        QTest::newRow("seek stopped, play") << "seek=88200,play" << BASS_ACTIVE_PLAYING << 88200ll;
        QTest::newRow("seek paused")
            << "play,hear,pause,seek=88200" << BASS_ACTIVE_PAUSED << 88200ll;
        QTest::newRow("seek paused, hear")
            << "play,hear,pause,seek=88200,hear" << BASS_ACTIVE_PAUSED << 88200ll;
        QTest::newRow("seek paused, play")
            << "play,hear,pause,seek=88200,play" << BASS_ACTIVE_PLAYING << 88200ll;
        QTest::newRow("seek playing") << "play,hear,seek=88200" << BASS_ACTIVE_PLAYING << 88200ll;
        QTest::newRow("seek playing, back")
            << "play,hear=100000,seek=1764" << BASS_ACTIVE_PLAYING << 1764ll;
        QTest::newRow("seek playing twice")
            << "play,hear,seek=88200,hear,seek=44100" << BASS_ACTIVE_PLAYING << 44100ll;
        QTest::newRow("seek into a frame goes to its start")
            << "seek=4410" << BASS_ACTIVE_STOPPED << 4408ll;
        QTest::newRow("seek past the end is refused")
            << "play,hear,seek=176404" << BASS_ACTIVE_PLAYING << kStepBytes;
        QTest::newRow("seek to the end stopped")
            << "seek=176400" << BASS_ACTIVE_STOPPED << 176400ll;
        // The end of the data.
        QTest::newRow("one frame before the end")
            << "play,hear=176396" << BASS_ACTIVE_PLAYING << 176396ll;
        QTest::newRow("end") << "play,end" << BASS_ACTIVE_STOPPED << 176400ll;
        QTest::newRow("seek to the end playing")
            << "play,hear,seek=176400" << BASS_ACTIVE_STOPPED << 176400ll;
        QTest::newRow("end, hear") << "play,end,hear" << BASS_ACTIVE_STOPPED << 176400ll;
        QTest::newRow("end, play restarts") << "play,end,play" << BASS_ACTIVE_PLAYING << 0ll;
        QTest::newRow("end, restart") << "play,end,restart" << BASS_ACTIVE_PLAYING << 0ll;
        QTest::newRow("end, seek, play")
            << "play,end,seek=88200,play" << BASS_ACTIVE_PLAYING << 88200ll;
    }
    void transport() {
        QFETCH(QString, steps);
        QFETCH(DWORD, state);
        QFETCH(qint64, at);
        const HSTREAM h = openTempo(m_rampPath);
        QVERIFY(h);
        run(h, steps);
        QCOMPARE(BASS_ChannelIsActive(h), state);
        QCOMPARE(position(h), QWORD(at));
        if (state == BASS_ACTIVE_PLAYING) {
            // What comes out next is the data from that position on.
            QCOMPARE(m_output->hear(1764), m_ramp.mid(at, 1764));
            QCOMPARE(position(h), QWORD(std::min(at + 1764, kSecondBytes)));
        }
    }

    // Between the output's updates the position moves on with the clock, never past what the
    // output was given (a buffer ahead of what it played), and Pause holds it.
    void clockBetweenUpdates_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<qint64>("at");
        QTest::newRow("the clock moves on") << "play,hear,tick=10" << kStepBytes + 1764;
        QTest::newRow("never past what was handed over")
            << "play,hear,tick=10000" << kStepBytes + kBufferBytes;
        QTest::newRow("pause holds") << "play,hear,tick=10,pause,tick=50" << kStepBytes + 1764;
        QTest::newRow("nothing before the output's first move") << "play,tick=50" << 0ll;
        // 40 ms behind: worked off a millisecond (176 bytes) a step, not taken back at once.
        QTest::newRow("an output behind the clock does not take it back")
            << "play,hear,tick=40,hear=1764" << kStepBytes + 5 * 1764 - 176;
        // A stall of more than 100 ms is taken at once, but the position still never goes back.
        QTest::newRow("a stall holds the position")
            << "play,hear,tick=500,look,hear=1764" << kStepBytes + kBufferBytes;
    }
    void clockBetweenUpdates() {
        QFETCH(QString, steps);
        const HSTREAM h = openTempo(m_rampPath);
        run(h, steps);
        QTEST(qint64(position(h)), "at");
    }

    void lengthAndConversions_data() {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<qint64>("secondBytes");
        QTest::addColumn<qint64>("tenMsBytes"); // whole frames only
        QTest::newRow("44100 Hz stereo") << 44100 << 2 << 176400ll << 1764ll;
        QTest::newRow("22050 Hz mono") << 22050 << 1 << 44100ll << 440ll;
        QTest::newRow("48000 Hz stereo") << 48000 << 2 << 192000ll << 1920ll;
        QTest::newRow("8000 Hz mono") << 8000 << 1 << 16000ll << 160ll;
    }
    void lengthAndConversions() {
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(qint64, secondBytes);
        QFETCH(qint64, tenMsBytes);
        const qint64 length = secondBytes * 5 / 2; // 2.5 s
        const HSTREAM h =
            openTempo(makeFile(QStringLiteral("ramp-%1-%2ch.wav").arg(rate).arg(channels),
                               wav(rate, channels, ramp(length))));
        QVERIFY(h);
        QCOMPARE(BASS_ChannelGetLength(h, BASS_POS_BYTE), QWORD(length));
        QCOMPARE(BASS_ChannelBytes2Seconds(h, QWORD(length)), 2.5);
        QCOMPARE(BASS_ChannelBytes2Seconds(h, QWORD(secondBytes)), 1.0);
        QCOMPARE(BASS_ChannelBytes2Seconds(h, 0), 0.0);
        QCOMPARE(BASS_ChannelSeconds2Bytes(h, 0), QWORD(0));
        QCOMPARE(BASS_ChannelSeconds2Bytes(h, 1), QWORD(secondBytes));
        QCOMPARE(BASS_ChannelSeconds2Bytes(h, 2.5), QWORD(length));
        QCOMPARE(BASS_ChannelSeconds2Bytes(h, 0.01), QWORD(tenMsBytes));
        for (int second = 0; second <= 2; ++second)
            QCOMPARE(BASS_ChannelSeconds2Bytes(
                         h, BASS_ChannelBytes2Seconds(h, QWORD(second * secondBytes))),
                     QWORD(second * secondBytes));
    }

    void filesThatAreNotPcmWavGiveNoHandle_data() {
        QTest::addColumn<QByteArray>("bytes"); // null: the file is not there
        const QByteArray pcm = ramp(1764);
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("empty") << QByteArray(0, '\0');
        QTest::newRow("text") << QByteArray("just some words, not a sound at all\n");
        QTest::newRow("header cut short") << wav(44100, 2, pcm).left(30);
        QTest::newRow("RIFF of another kind")
            << QByteArray("RIFF" + le32(100) + "AVI " + chunk("data", pcm));
        QTest::newRow("8-bit PCM")
            << riff(chunk("fmt ", fmtBody(44100, 2, 8)) + chunk("data", pcm));
        QTest::newRow("32-bit float")
            << riff(chunk("fmt ", fmtBody(44100, 2, 32, 3)) + chunk("data", pcm));
        QTest::newRow("no channels") << riff(chunk("fmt ", fmtBody(44100, 0)) + chunk("data", pcm));
        QTest::newRow("no data chunk") << riff(chunk("fmt ", fmtBody(44100, 2)));
        QTest::newRow("data before fmt")
            << riff(chunk("data", pcm) + chunk("fmt ", fmtBody(44100, 2)));
    }
    void filesThatAreNotPcmWavGiveNoHandle() {
        QFETCH(QByteArray, bytes);
        const QString path =
            bytes.isNull() ? m_dir.filePath("not-there.wav")
                           : makeFile(QString::fromLatin1(QTest::currentDataTag()) + ".wav", bytes);
        QCOMPARE(BASS_StreamCreateFile(false, path, 0, 0, BASS_STREAM_DECODE | BASS_UNICODE), 0u);
        QCOMPARE(BASS_StreamCreateFile(false, path, 0, 0, BASS_UNICODE), 0u);
        QCOMPARE(openTempo(path), 0u);
    }

    void dataChunkIsFoundAmongOthers_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("length");
        const QByteArray pcm = ramp(17640);
        const QByteArray fmt = chunk("fmt ", fmtBody(44100, 2));
        QTest::newRow("canonical") << wav(44100, 2, pcm) << 17640ll;
        QTest::newRow("odd-sized chunk first")
            << riff(chunk("LIST", QByteArray(13, 'l')) + fmt + chunk("data", pcm)) << 17640ll;
        QTest::newRow("chunks between fmt and data")
            << riff(fmt + chunk("fact", le32(4410)) + chunk("JUNK", QByteArray(27, 'j')) +
                    chunk("data", pcm))
            << 17640ll;
        QTest::newRow("longer fmt chunk")
            << riff(chunk("fmt ", fmtBody(44100, 2) + le16(0)) + chunk("data", pcm)) << 17640ll;
        QTest::newRow("file cut inside a frame") << wav(44100, 2, pcm).chopped(3) << 17636ll;
        QTest::newRow("data size past the end of the file")
            << riff(fmt + "data" + le32(0xFFFFFFF0u) + pcm) << 17640ll;
        QTest::newRow("chunk after data")
            << riff(fmt + chunk("data", pcm) + chunk("LIST", QByteArray(20, 'x'))) << 17640ll;
    }
    void dataChunkIsFoundAmongOthers() {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, length);
        const HSTREAM h =
            openTempo(makeFile(QString::fromLatin1(QTest::currentDataTag()) + ".wav", bytes));
        QVERIFY(h);
        QCOMPARE(BASS_ChannelGetLength(h, BASS_POS_BYTE), QWORD(length));
        QVERIFY(BASS_ChannelPlay(h, false));
        QCOMPARE(hearBytes(2 * length), ramp(length));
        QCOMPARE(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
    }

    void initAgainAfterFree() {
        const HSTREAM first = openTempo(m_rampPath);
        QVERIFY(BASS_ChannelPlay(first, false));
        hearBytes(kStepBytes);
        QVERIFY(BASS_Free());
        // Freeing drops the output and every stream; nothing opens until the next init.
        QCOMPARE(BASS_ChannelGetLength(first, BASS_POS_BYTE), kInvalid);
        QCOMPARE(BASS_ChannelIsActive(first), BASS_ACTIVE_STOPPED);
        QCOMPARE(openTempo(m_rampPath), 0u);
        QVERIFY(!BASS_Free());

        QVERIFY(BASS_Init(-1, 44100, 0, nullptr, nullptr));
        const HSTREAM second = openTempo(m_rampPath);
        QVERIFY(second);
        QVERIFY(second != first);
        QCOMPARE(position(second), QWORD(0));
        QVERIFY(BASS_ChannelPlay(second, false));
        QCOMPARE(m_output->hear(1764), m_ramp.left(1764));
        QCOMPARE(position(second), QWORD(1764));
    }

    void noOutputDeviceFailsInit() {
        BASS_Free();
        setAudioOutputFactory([] { return std::unique_ptr<AudioOutput>(); });
        QVERIFY(!BASS_Init(-1, 44100, 0, nullptr, nullptr));
        QCOMPARE(openTempo(m_rampPath), 0u);
    }

    void tempoStreamWrapsAndFreesItsSource() {
        const HSTREAM decode = BASS_StreamCreateFile(false, m_rampPath, 0, 0, BASS_STREAM_DECODE);
        QVERIFY(decode);
        QVERIFY(!BASS_ChannelPlay(decode, false)); // a decoding stream does not play by itself
        const HSTREAM tempo = BASS_FX_TempoCreate(decode, BASS_SAMPLE_LOOP | BASS_FX_FREESOURCE);
        QVERIFY(tempo);
        QCOMPARE(BASS_ChannelGetLength(tempo, BASS_POS_BYTE), QWORD(kSecondBytes));
        QCOMPARE(BASS_FX_TempoCreate(decode, BASS_FX_FREESOURCE), 0u); // already wrapped
        QCOMPARE(BASS_FX_TempoCreate(tempo, BASS_FX_FREESOURCE), 0u);  // not a decoding stream
        QVERIFY(BASS_ChannelPlay(tempo, false));
        QCOMPARE(m_output->hear(1764), m_ramp.left(1764));

        QVERIFY(BASS_StreamFree(tempo));
        QCOMPARE(BASS_ChannelGetLength(tempo, BASS_POS_BYTE), kInvalid);
        QCOMPARE(BASS_ChannelGetLength(decode, BASS_POS_BYTE), kInvalid);
        QVERIFY(!BASS_StreamFree(decode));

        // Without the flag the source outlives its wrapper.
        const HSTREAM kept = BASS_StreamCreateFile(false, m_rampPath, 0, 0, BASS_STREAM_DECODE);
        QVERIFY(BASS_StreamFree(BASS_FX_TempoCreate(kept, BASS_SAMPLE_LOOP)));
        QCOMPARE(BASS_ChannelGetLength(kept, BASS_POS_BYTE), QWORD(kSecondBytes));

        const HSTREAM playable = BASS_StreamCreateFile(false, m_rampPath, 0, 0, 0);
        QVERIFY(playable);
        QCOMPARE(BASS_FX_TempoCreate(playable, BASS_FX_FREESOURCE), 0u);
    }

    void musicLoadIsNotSupported() {
        QCOMPARE(BASS_MusicLoad(false, m_rampPath, 0, 0, 0x220200 | BASS_UNICODE, 0), 0u);
        QCOMPARE(BASS_MusicLoad(false, m_dir.filePath("tune.mod"), 0, 0, 0x220200, 0), 0u);
        QVERIFY(!BASS_MusicFree(1));
    }

    void unknownHandleIsRefused() {
        const DWORD h = 4242;
        QVERIFY(!BASS_ChannelPlay(h, false));
        QVERIFY(!BASS_ChannelPause(h));
        QVERIFY(!BASS_ChannelStop(h));
        QVERIFY(!BASS_ChannelSetPosition(h, 0, BASS_POS_BYTE));
        QCOMPARE(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
        QCOMPARE(BASS_ChannelGetLength(h, BASS_POS_BYTE), kInvalid);
        QCOMPARE(position(h), kInvalid);
        QVERIFY(BASS_ChannelBytes2Seconds(h, 0) < 0);
        QCOMPARE(BASS_ChannelSeconds2Bytes(h, 1), kInvalid);
    }
};

QTEST_GUILESS_MAIN(TestAudioLayer)
#include "test_audio_layer.moc"
