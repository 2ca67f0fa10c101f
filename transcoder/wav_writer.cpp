#include "transcoder/wav_writer.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace transcoder {

namespace {

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

std::runtime_error writeError(const std::string& path) {
    return std::runtime_error("cannot write '" + path + "': " + std::strerror(errno));
}

} // namespace

std::vector<std::uint8_t> wavHeader(int sampleRate, int channels, std::uint32_t dataBytes) {
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(channels * 2);
    std::vector<std::uint8_t> h;
    h.reserve(kWavHeaderBytes);
    putTag(h, "RIFF");
    put32(h, dataBytes + (kWavHeaderBytes - 8));
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

WavWriter::WavWriter(const std::string& path, int sampleRate, int channels)
    : file_(std::fopen(path.c_str(), "wb")), buffer_(1 << 20), path_(path), sampleRate_(sampleRate),
      channels_(channels) {
    if (!file_)
        throw writeError(path);
    std::setvbuf(file_.get(), buffer_.data(), _IOFBF, buffer_.size());
    const auto header = wavHeader(sampleRate, channels, 0);
    if (std::fwrite(header.data(), 1, header.size(), file_.get()) != header.size())
        throw writeError(path_);
}

void WavWriter::write(const std::int16_t* samples, std::int64_t frames) {
    const std::int64_t bytes = frames * 2 * channels_;
    if (dataBytes_ + bytes > kMaxDataBytes)
        throw std::runtime_error("the audio is too long: the WAV file would pass 2 GiB");
    // The samples are already little-endian on the platforms we build for.
    if (std::fwrite(samples, 1, static_cast<std::size_t>(bytes), file_.get()) !=
        static_cast<std::size_t>(bytes))
        throw writeError(path_);
    dataBytes_ += bytes;
}

void WavWriter::finish() {
    const auto header = wavHeader(sampleRate_, channels_, static_cast<std::uint32_t>(dataBytes_));
    if (std::fseek(file_.get(), 0, SEEK_SET) != 0 ||
        std::fwrite(header.data(), 1, header.size(), file_.get()) != header.size() ||
        std::fflush(file_.get()) != 0)
        throw writeError(path_);
    if (std::fclose(file_.release()) != 0)
        throw writeError(path_);
}

} // namespace transcoder
