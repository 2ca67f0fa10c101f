// The output side of a run: takes converted audio in the sink's own sample format and writes
// the file. WAV is written by our own writer (canonical 44-byte header); MP3, WMA and AMR go
// through an FFmpeg encoder and muxer.
#pragma once

#include "transcoder/settings.h"

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
};

// Writes through fd, an empty file open for reading and writing that stays the caller's to
// close, for the fitted settings; path only names the file in messages. Throws
// std::runtime_error with a readable message.
std::unique_ptr<AudioSink> makeSink(int fd, const std::string& path,
                                    const EncodeSettings& settings);

} // namespace transcoder
