// The audio layer's calls on an output whose clock the test drives, then on PulseAudio's null sink.
#include "audio/mod_bass.h"
#include "audio/mod_bass_fx.h"
#include "audio/null_audio_output.h"
#include "tests/support/test_support.h"
#include "tests/support/wav_bytes.h"

#include <QTemporaryDir>

using namespace wavbytes;

constexpr qint64 kSecond = 44100 * 4, kBuffer = kSecond / 10, kStep = 8820; // 16-bit stereo
constexpr DWORD kStopped = BASS_ACTIVE_STOPPED, kPlaying = BASS_ACTIVE_PLAYING,
                kPaused = BASS_ACTIVE_PAUSED;

class TestAudioLayer : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    const QByteArray m_ramp = ramp(kSecond);
    const QString m_rampPath = write(m_dir.filePath("ramp.wav"), wav(44100, 2, m_ramp));
    NullAudioOutput* m_output = nullptr;
    static QWORD position(DWORD handle) { return BASS_ChannelGetPosition(handle, BASS_POS_BYTE); }
    // The stream the loader makes: a decoding stream wrapped in a tempo stream that owns it.
    static HSTREAM openTempo(const QString& path) {
        const HSTREAM decode =
            BASS_StreamCreateFile(false, path, 0, 0, BASS_STREAM_DECODE | BASS_UNICODE);
        return decode ? BASS_FX_TempoCreate(decode, BASS_SAMPLE_LOOP | BASS_FX_FREESOURCE) : 0;
    }
    // Plays up to bytes (fewer when the data end first) and returns what was heard.
    QByteArray hear(qint64 bytes) {
        QByteArray heard;
        for (QByteArray got = "-"; !got.isEmpty() && heard.size() < bytes; heard += got)
            got = m_output->hear(std::min(bytes - heard.size(), kBuffer));
        return heard;
    }
    // Runs steps such as "play,hear,pause,seek=88200" on the stream; "hear" also looks at the
    // position as the window's timers do, "tick" lets time pass with nothing new from the output.
    void run(HSTREAM h, const QString& steps) {
        const std::map<QString, std::function<void(qint64)>> actions{
            {"play", [&](qint64) { BASS_ChannelPlay(h, false); }},
            {"restart", [&](qint64) { BASS_ChannelPlay(h, true); }},
            {"pause", [&](qint64) { BASS_ChannelPause(h); }},
            {"stop", [&](qint64) { BASS_ChannelStop(h); }},
            {"seek", [&](qint64 at) { BASS_ChannelSetPosition(h, QWORD(at), BASS_POS_BYTE); }},
            {"until", [&](qint64 at) { BASS_ChannelSetEndPosition(h, QWORD(at)); }},
            {"hear", [&](qint64 bytes) { hear(bytes ? bytes : kStep), position(h); }},
            {"look", [&](qint64) { position(h); }},
            {"tick", [&](qint64 ms) { m_output->tick(ms * 1000000); }},
            {"end", [&](qint64) { hear(2 * kSecond); }}};
        for (const QString& step : steps.split(u','))
            actions.at(step.section(u'=', 0, 0))(step.section(u'=', 1).toLongLong());
    }

private Q_SLOTS:
    void init() {
        setAudioOutputFactory([this] {
            auto output = std::make_unique<NullAudioOutput>(kBuffer);
            m_output = output.get();
            return output;
        });
        QVERIFY(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    }
    void cleanup() {
        BASS_Free();
        setAudioOutputFactory({});
    }
    // The state and position after the steps, and then the data from there on unless time passed
    // without the output moving ("tick"). Between the output's updates the position moves with
    // the clock, never back, never past what the output was given; Pause holds it.
    void transport_data() {
        columns<QString, DWORD, qint64>({"steps", "state", "at"});
        const std::tuple<const char*, DWORD, qint64> rows[] = {
            {"hear", kStopped, 0},
            {"play", kPlaying, 0}, // a buffer was read ahead, nothing heard yet
            {"play,hear,pause,hear", kPaused, kStep},
            {"play,hear,pause,play", kPlaying, kStep},
            {"play,hear,stop,play", kPlaying, kStep},
            {"play,hear,stop,seek=0,play", kPlaying, 0}, // the window's Stop
            {"play,hear,pause,restart", kPlaying, 0},
            {"seek=4410", kStopped, 4408}, // to the start of its frame
            {"seek=88200,play", kPlaying, 88200},
            {"play,hear,pause,seek=88200,hear", kPaused, 88200},
            {"play,hear=100000,seek=1764", kPlaying, 1764},
            {"play,hear,seek=176404", kPlaying, kStep}, // past the end: refused
            {"play,hear,seek=176400", kStopped, kSecond},
            {"play,end", kStopped, kSecond},
            {"play,end,play", kPlaying, 0},
            {"play,end,seek=88200,play", kPlaying, 88200},
            // An end position stops playback on its own frame, as the end of the data does.
            {"until=88201,seek=44100,play,end", kStopped, 88200},
            {"until=88200,play,hear,pause,play,end", kStopped, 88200},
            {"until=88200,play,end,play", kPlaying, 0},
            {"until=88200,play,end,until=-1,play", kPlaying, 88200},
            {"play,hear,tick=10", kPlaying, kStep + 1764},
            {"play,hear,tick=10000", kPlaying, kStep + kBuffer},
            {"play,hear,tick=10,pause,tick=50", kPaused, kStep + 1764},
            {"play,tick=50", kPlaying, 0}, // nothing before the output's first move
            // 40 ms behind: worked off a millisecond (176 bytes) a step, not taken back at once.
            {"play,hear,tick=40,hear=1764", kPlaying, kStep + 5 * 1764 - 176},
            // A stall of more than 100 ms is taken at once, but the position never goes back.
            {"play,hear,tick=500,look,hear=1764", kPlaying, kStep + kBuffer}};
        for (const auto& [steps, state, at] : rows)
            QTest::newRow(steps) << QString::fromLatin1(steps) << state << at;
    }
    void transport() {
        QFETCH(QString, steps);
        QFETCH(qint64, at);
        const HSTREAM h = openTempo(m_rampPath);
        if (steps.startsWith("until=88201,seek=44100")) {
            // Exactly the stretch is heard, not a frame more.
            run(h, "until=88201,seek=44100,play");
            QCOMPARE(hear(kSecond), m_ramp.mid(44100, 44100));
        }
        run(h, steps);
        QTEST(BASS_ChannelIsActive(h), "state");
        QCOMPARE(position(h), QWORD(at));
        if (BASS_ChannelIsActive(h) == kPlaying && !steps.contains("tick")) {
            QCOMPARE(m_output->hear(1764), m_ramp.mid(at, 1764));
            QCOMPARE(position(h), QWORD(std::min(at + 1764, kSecond)));
        }
    }
    // The data chunk is found among others, measured in bytes and seconds and played to its end.
    // What is not a 16-bit PCM WAV with its data after its format gives no stream (length -1).
    void files_data() {
        columns<QByteArray, qint64, double>({"bytes", "length", "seconds"}); // seconds of length
        const QByteArray pcm = ramp(17640), format = chunk("fmt ", fmt(44100, 2));
        const QByteArray data = chunk("data", pcm), junk = chunk("JUNK", QByteArray(27, 'j'));
        const std::tuple<const char*, QByteArray, qint64, double> rows[] = {
            {"odd-sized chunk first", riff(chunk("LIST", "odd") + format + data), 17640, 0.1},
            {"chunks between", riff(format + chunk("fact", le(4410, 4)) + junk + data), 17640, 0.1},
            {"longer fmt", riff(chunk("fmt ", fmt(44100, 2) + le(0, 2)) + data), 17640, 0.1},
            {"cut inside a frame", wav(44100, 2, pcm).chopped(3), 17636, 4409 / 44100.0},
            {"size past the end", riff(format + "data" + le(0xFFFFFFF0u, 4) + pcm), 17640, 0.1},
            {"22050 Hz mono", wav(22050, 1, pcm), 17640, 0.4},
            {"words", "just some words, not a sound", -1, 0},
            {"8-bit", riff(chunk("fmt ", fmt(44100, 2, 8)) + data), -1, 0},
            {"float", riff(chunk("fmt ", fmt(44100, 2, 16, 3)) + data), -1, 0},
            {"no channels", riff(chunk("fmt ", fmt(44100, 0)) + data), -1, 0},
            {"no data", riff(format), -1, 0},
            {"data before format", riff(data + format), -1, 0}};
        for (const auto& [tag, bytes, length, seconds] : rows)
            QTest::newRow(tag) << bytes << length << seconds;
    }
    void files() {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, length);
        QFETCH(double, seconds);
        const HSTREAM h = openTempo(write(m_dir.filePath(QTest::currentDataTag()), bytes));
        QCOMPARE(h != 0, length >= 0);
        if (!h)
            return;
        QCOMPARE(BASS_ChannelGetLength(h, BASS_POS_BYTE), QWORD(length));
        QCOMPARE(BASS_ChannelBytes2Seconds(h, length), seconds);
        QCOMPARE(BASS_ChannelSeconds2Bytes(h, seconds), QWORD(length));
        QVERIFY(BASS_ChannelPlay(h, false));
        QCOMPARE(hear(2 * length), ramp(length));
        QCOMPARE(BASS_ChannelIsActive(h), kStopped);
    }
    // Free drops the output and every stream, and nothing opens until the next Init (nor does a
    // missing file); without an output device Init fails.
    void lifeCycle() {
        QCOMPARE(openTempo(m_dir.filePath("none.wav")), 0u);
        const HSTREAM first = openTempo(m_rampPath);
        QVERIFY(BASS_ChannelPlay(first, false) && BASS_Free() && !BASS_Free());
        QCOMPARE(openTempo(m_rampPath), 0u);
        QVERIFY(BASS_Init(-1, 44100, 0, nullptr, nullptr));
        QVERIFY(BASS_ChannelPlay(openTempo(m_rampPath), false));
        QCOMPARE(m_output->hear(1764), m_ramp.left(1764));
        QVERIFY(!BASS_ChannelPlay(first, false) && !BASS_ChannelStop(first));
        QCOMPARE(position(first), ~QWORD(0));
        QVERIFY(BASS_ChannelBytes2Seconds(first, 0) < 0); // what the window's Timer2 relies on
        setAudioOutputFactory([] { return std::unique_ptr<AudioOutput>(); });
        QVERIFY(!BASS_Init(-1, 44100, 0, nullptr, nullptr));
    }
    // Through the default sink the position moves with the real clock, never back and never past
    // the end, holds while paused, and the end of the data stops the stream.
    void realSink() {
        cleanup();
        if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
            // The test services start a sound server and say so; there the test must run.
            QVERIFY(!qEnvironmentVariableIsSet("QUILLET_SOUND_SERVER"));
            QSKIP("no audio output device: start the test services");
        }
        const HSTREAM h =
            openTempo(write(m_dir.filePath("3 s.wav"), wav(44100, 2, ramp(3 * kSecond))));
        QVERIFY(BASS_ChannelPlay(h, false));
        QList<QWORD> seen{0};
        QVERIFY(QTest::qWaitFor([&] { return (seen << position(h)).last() > kSecond / 2; }, 20000));
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        QVERIFY(BASS_ChannelPause(h));
        const QWORD held = position(h);
        QTest::qWait(300);
        QCOMPARE(position(h), held);
        QVERIFY(BASS_ChannelPlay(h, false) && BASS_ChannelSetPosition(h, 5 * kSecond / 2, 0));
        QTRY_COMPARE_WITH_TIMEOUT(BASS_ChannelIsActive(h), kStopped, 20000);
        QCOMPARE(position(h), QWORD(3 * kSecond));
        QVERIFY(BASS_ChannelPlay(h, false) && position(h) < QWORD(kSecond)); // from the start
    }
};

QTEST_GUILESS_MAIN(TestAudioLayer)
#include "test_audio_layer.moc"
