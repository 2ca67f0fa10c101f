// Writes 16-bit PCM WAV files with the canonical 44-byte header (RIFF, "fmt " of 16 bytes,
// "data"), so that audio starts at byte 44. The sizes are patched in by finish().
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace transcoder {

constexpr int kWavHeaderBytes = 44;

// The 44 header bytes for dataBytes of 16-bit PCM audio.
std::vector<std::uint8_t> wavHeader(int sampleRate, int channels, std::uint32_t dataBytes);

class WavWriter {
public:
    // Opens (truncates) path; throws std::runtime_error with a readable message on failure.
    WavWriter(const std::string& path, int sampleRate, int channels);

    // Appends interleaved 16-bit samples; frames counts samples per channel.
    void write(const std::int16_t* samples, std::int64_t frames);
    // Patches the sizes into the header and closes the file; throws on a write failure.
    void finish();

    std::int64_t framesWritten() const { return dataBytes_ / (2 * channels_); }

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::vector<char> buffer_;
    std::string path_;
    int sampleRate_;
    int channels_;
    std::int64_t dataBytes_ = 0;
};

} // namespace transcoder
