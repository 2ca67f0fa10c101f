// The output side of a run: takes converted audio in the sink's own sample format and writes
// the file. WAV is written by our own writer (canonical 44-byte header); MP3, WMA and AMR go
// through an FFmpeg encoder and muxer.
#pragma once

#include "transcoder/settings.h"
#include "transcoder/tags.h"

#include <cstdint>
#include <memory>
#include <string>

namespace transcoder {

class AudioSink {
public:
    virtual ~AudioSink() = default;
    // The AVSampleFormat the sink takes, as FFmpeg's integer value.
    virtual int sampleFormat() const = 0;
    // Appends frames (samples per channel); planes as FFmpeg lays out that format.
    virtual void write(const std::uint8_t* const* planes, int frames) = 0;
    // Flushes everything and closes the file; throws on failure.
    virtual void finish() = 0;
    // Samples of the audio before the stretch the encoder takes first, so that the decoded file
    // starts on the stretch's first sample; 0 when the format keeps its own start.
    virtual int leadIn() const { return 0; }
    // When not 0, the frame size of an encoder whose last decoded frame is spoilt by the end
    // of its input: the stretch is carried on with the audio after it for one frame more, to a
    // whole frame counted from the lead-in, so that the spoilt frame lies after the stretch.
    virtual int closingFrame() const { return 0; }
};

// Writes through fd, an empty file open for reading and writing that stays the caller's to
// close, for the fitted settings; path only names the file in messages. The tags, when given,
// go into the file as its container holds them. Throws Failure (transcoder/failure.h) with a
// readable message.
std::unique_ptr<AudioSink> makeSink(int fd, const std::string& path, const EncodeSettings& settings,
                                    const Tags* tags = nullptr);

} // namespace transcoder
