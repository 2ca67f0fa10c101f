#include "transcoder/wav_writer.h"

#include "transcoder/failure.h"
#include "transcoder/platform.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace transcoder {

namespace {

constexpr std::size_t kBufferBytes = 1 << 20;
// The window opens WAV files of up to 2 GiB (3 h 22 min at 44100 Hz stereo); a run stops as soon
// as its output would pass that, rather than filling the disk from a damaged header.
constexpr std::int64_t kMaxDataBytes = (std::int64_t{1} << 31) - kWavHeaderBytes;

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putTag(std::vector<std::uint8_t>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

Failure writeError(const std::string& path) {
    const int error = errno;
    return Failure(writeFailureCode(error),
                   "cannot write '" + path + "': " + systemErrorWords(error));
}

} // namespace

std::vector<std::uint8_t> wavHeader(int sampleRate, int channels, std::uint32_t dataBytes,
                                    std::uint32_t trailerBytes) {
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(channels * 2);
    std::vector<std::uint8_t> h;
    h.reserve(kWavHeaderBytes);
    putTag(h, "RIFF");
    put32(h, dataBytes + trailerBytes + (kWavHeaderBytes - 8));
    putTag(h, "WAVE");
    putTag(h, "fmt ");
    put32(h, 16);
    put16(h, 1); // WAVE_FORMAT_PCM
    put16(h, static_cast<std::uint16_t>(channels));
    put32(h, static_cast<std::uint32_t>(sampleRate));
    put32(h, static_cast<std::uint32_t>(sampleRate) * blockAlign);
    put16(h, blockAlign);
    put16(h, 16);
    putTag(h, "data");
    put32(h, dataBytes);
    return h;
}

WavWriter::WavWriter(int fd, const std::string& path, int sampleRate, int channels)
    : fd_(fd), path_(path), sampleRate_(sampleRate), channels_(channels) {
    buffer_.reserve(kBufferBytes);
    const auto header = wavHeader(sampleRate, channels, 0);
    put(header.data(), header.size());
}

void WavWriter::write(const std::int16_t* samples, std::int64_t frames) {
    const std::int64_t bytes = frames * 2 * channels_;
    if (dataBytes_ + bytes > kMaxDataBytes)
        throw Failure(ExitCode::TooLong, "the audio is too long: the WAV file would pass 2 GiB");
    // The samples are already little-endian on the platforms we build for.
    put(samples, static_cast<std::size_t>(bytes));
    dataBytes_ += bytes;
}

void WavWriter::finish(const std::string& trailer) {
    put(trailer.data(), trailer.size());
    flush();
    const auto header = wavHeader(sampleRate_, channels_, static_cast<std::uint32_t>(dataBytes_),
                                  static_cast<std::uint32_t>(trailer.size()));
    if (!platform::writeAt(fd_, header.data(), header.size(), 0))
        throw writeError(path_);
}

void WavWriter::put(const void* data, std::size_t bytes) {
    if (buffer_.size() + bytes > kBufferBytes)
        flush();
    if (bytes >= kBufferBytes) {
        if (!platform::writeAt(fd_, data, bytes, writtenBytes_))
            throw writeError(path_);
        writtenBytes_ += static_cast<std::int64_t>(bytes);
        return;
    }
    const char* bytesIn = static_cast<const char*>(data);
    buffer_.insert(buffer_.end(), bytesIn, bytesIn + bytes);
}

void WavWriter::flush() {
    if (buffer_.empty())
        return;
    if (!platform::writeAt(fd_, buffer_.data(), buffer_.size(), writtenBytes_))
        throw writeError(path_);
    writtenBytes_ += static_cast<std::int64_t>(buffer_.size());
    buffer_.clear();
}

} // namespace transcoder
