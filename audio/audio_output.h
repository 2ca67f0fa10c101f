// The output a playing stream pulls from: the layer hands it a source device and asks how much of
// what was read is still waiting to be heard. QtAudioOutput plays through a QAudioSink on the
// default device; tests may put their own output in its place.
#pragma once

#include <QAudioFormat>
#include <QIODevice>

#include <memory>

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Starts pulling from source in format; any earlier playback is dropped.
    virtual void start(QIODevice* source, const QAudioFormat& format) = 0;
    virtual void suspend() = 0;
    virtual void resume() = 0;
    virtual void stop() = 0;
    // Bytes read from the source that have not been heard yet. A real sink updates this in steps
    // (40-60 ms on PulseAudio), not continuously.
    virtual qint64 bufferedBytes() const = 0;
    // A monotonic clock in nanoseconds, for moving the heard position on between those steps.
    virtual qint64 clockNs() const = 0;
};

// The default output device, or nullptr when there is none.
std::unique_ptr<AudioOutput> makeDefaultAudioOutput();
