#include "audio/audio_output.h"

#include <QAudioSink>
#include <QElapsedTimer>
#include <QMediaDevices>

namespace {
class QtAudioOutput final : public AudioOutput {
public:
    explicit QtAudioOutput(QAudioDevice device) : m_device(std::move(device)) { m_clock.start(); }

    void start(QIODevice* source, const QAudioFormat& format) override {
        m_sink.reset();
        m_sink = std::make_unique<QAudioSink>(m_device, format);
        m_sink->setBufferSize(format.bytesForDuration(200000));
        m_sink->start(source);
    }
    void suspend() override {
        if (m_sink)
            m_sink->suspend();
    }
    void resume() override {
        if (m_sink)
            m_sink->resume();
    }
    void stop() override {
        if (m_sink)
            m_sink->stop();
        m_sink.reset();
    }
    qint64 bufferedBytes() const override {
        if (!m_sink || m_sink->state() == QAudio::StoppedState)
            return 0;
        return std::max<qint64>(0, m_sink->bufferSize() - m_sink->bytesFree());
    }
    qint64 clockNs() const override { return m_clock.nsecsElapsed(); }

private:
    QAudioDevice m_device;
    QElapsedTimer m_clock;
    std::unique_ptr<QAudioSink> m_sink;
};
} // namespace

std::unique_ptr<AudioOutput> makeDefaultAudioOutput() {
    if (QMediaDevices::audioOutputs().isEmpty())
        return nullptr;
    return std::make_unique<QtAudioOutput>(QMediaDevices::defaultAudioOutput());
}
