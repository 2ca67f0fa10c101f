// Writes 16-bit PCM WAV files with the canonical 44-byte header (RIFF, "fmt " of 16 bytes,
// "data"), so that audio starts at byte 44. The sizes are patched in by finish().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace transcoder {

constexpr int kWavHeaderBytes = 44;

// The 44 header bytes for dataBytes of 16-bit PCM audio followed by trailerBytes of chunks.
std::vector<std::uint8_t> wavHeader(int sampleRate, int channels, std::uint32_t dataBytes,
                                    std::uint32_t trailerBytes = 0);

class WavWriter {
public:
    // Writes from byte 0 through fd, an empty file open for writing that stays the caller's to
    // close; path only names it in messages. Throws Failure on a write failure.
    WavWriter(int fd, const std::string& path, int sampleRate, int channels);

    // Appends interleaved 16-bit samples; frames counts samples per channel.
    void write(const std::int16_t* samples, std::int64_t frames);
    // Writes what is buffered, then the trailer (whole chunks, such as the tags' LIST, which a
    // reader finds after the data), and patches the sizes into the header; throws on a write
    // failure.
    void finish(const std::string& trailer = {});

    std::int64_t framesWritten() const { return dataBytes_ / (2 * channels_); }

private:
    void put(const void* data, std::size_t bytes);
    void flush();

    int fd_;
    std::vector<char> buffer_; // what follows the bytes already written
    std::int64_t writtenBytes_ = 0;
    std::string path_;
    int sampleRate_;
    int channels_;
    std::int64_t dataBytes_ = 0;
};

} // namespace transcoder
