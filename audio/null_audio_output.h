// An output that hears nothing until the test says so: it reads ahead up to its buffer size and
// counts as heard what the test plays with hear(). For deterministic tests of the audio layer.
#pragma once

#include "audio/audio_output.h"

class NullAudioOutput final : public AudioOutput {
public:
    explicit NullAudioOutput(qint64 bufferBytes) : m_bufferBytes(bufferBytes) {}

    void start(QIODevice* source, const QAudioFormat&) override {
        m_source = source;
        m_read = m_heard = 0;
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
        m_read = m_heard = 0;
        m_running = false;
    }
    qint64 bufferedBytes() const override { return m_read - m_heard; }

    // Plays up to bytes of what was read ahead, as a running sink would in that time.
    void hear(qint64 bytes) {
        if (!m_running || !m_source)
            return;
        m_heard = std::min(m_read, m_heard + bytes);
        fill();
    }

private:
    void fill() {
        if (!m_source)
            return;
        char chunk[4096];
        while (m_read - m_heard < m_bufferBytes) {
            const qint64 want = std::min<qint64>(sizeof chunk, m_bufferBytes - (m_read - m_heard));
            const qint64 got = m_source->read(chunk, want);
            if (got <= 0)
                break;
            m_read += got;
        }
    }

    qint64 m_bufferBytes;
    QIODevice* m_source = nullptr;
    qint64 m_read = 0;
    qint64 m_heard = 0;
    bool m_running = false;
};
