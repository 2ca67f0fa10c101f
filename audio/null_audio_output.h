// An output that hears nothing until the test says so: it reads ahead up to its buffer size and
// counts as heard what the test plays with hear(); its clock moves by the duration of what was
// heard. For deterministic tests of the audio layer.
#pragma once

#include "audio/audio_output.h"

#include <QByteArray>

#include <algorithm>

class NullAudioOutput final : public AudioOutput {
public:
    explicit NullAudioOutput(qint64 bufferBytes) : m_bufferBytes(bufferBytes) {}

    void start(QIODevice* source, const QAudioFormat& format) override {
        m_bytesPerSecond = format.bytesForDuration(1000000);
        m_source = source;
        m_waiting.clear();
        m_running = true;
        fill();
    }
    void suspend() override { m_running = false; }
    void resume() override {
        m_running = true;
        fill();
    }
    void stop() override {
        m_source = nullptr;
        m_waiting.clear();
        m_running = false;
    }
    qint64 bufferedBytes() const override { return m_waiting.size(); }
    qint64 clockNs() const override {
        return m_idleNs + (m_bytesPerSecond ? m_heardBytes * 1000000000 / m_bytesPerSecond : 0);
    }
    // Moves the clock on without playing anything, as time passes between a sink's updates.
    void tick(qint64 ns) { m_idleNs += ns; }

    // Plays up to bytes of what was read ahead, as a running sink would in that time, and returns
    // the bytes played.
    QByteArray hear(qint64 bytes) {
        if (!m_running || !m_source)
            return {};
        const QByteArray played = m_waiting.left(bytes);
        m_waiting.remove(0, played.size());
        m_heardBytes += played.size();
        fill();
        return played;
    }

private:
    void fill() {
        if (!m_source)
            return;
        char chunk[4096];
        while (m_waiting.size() < m_bufferBytes) {
            const qint64 want = std::min<qint64>(sizeof chunk, m_bufferBytes - m_waiting.size());
            const qint64 got = m_source->read(chunk, want);
            if (got <= 0)
                break;
            m_waiting.append(chunk, got);
        }
    }

    qint64 m_bufferBytes;
    QIODevice* m_source = nullptr;
    QByteArray m_waiting; // read from the source, not heard yet
    bool m_running = false;
    qint64 m_bytesPerSecond = 0;
    qint64 m_heardBytes = 0; // over all runs: the clock never goes back
    qint64 m_idleNs = 0;
};
