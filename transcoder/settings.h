// Output formats and the values each encoder can take: the format from a file name, the nearest
// accepted value, and the fit of requested rate / channels / bit rate to an encoder, listing
// each value it changed. Pure functions, no FFmpeg.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace transcoder {

enum class Container { Wav, Mp3, Wma, Amr };

// "mp3", "wma", "wav" or "amr" as the last extension of the path, in any letter case.
std::optional<Container> containerFromExtension(std::string_view path);
std::string_view containerName(Container container);

// The candidate closest to requested; on a tie the higher one. Candidates must not be empty.
int nearestValue(int requested, std::span<const int> candidates);

struct EncodeSettings {
    Container container = Container::Wav;
    int sampleRate = 44100; // Hz
    int channels = 2;
    int bitRate = 0; // bit/s; 0 for PCM
};

// One value the encoder could not take: setting is "rate" (Hz), "bitrate" (bit/s) or "channels".
struct Substitution {
    std::string setting;
    int asked = 0;
    int used = 0;
    bool operator==(const Substitution&) const = default;
};

struct FittedSettings {
    EncodeSettings settings;
    std::vector<Substitution> substitutions;
};

// Fits the wanted values to what the container's encoder accepts. wanted.bitRate 0 asks for
// the encoder's default.
FittedSettings fitToEncoder(const EncodeSettings& wanted);

// Bit rates (bit/s) an MP3 stream may have at a sample rate: MPEG-1, -2 or -2.5 tables.
std::span<const int> mp3BitRates(int sampleRate);
// Sample rates an MP3 stream may have.
std::span<const int> mp3SampleRates();
// The eight AMR narrow-band modes in bit/s.
std::span<const int> amrBitRates();

// "192 kbit/s", "12.2 kbit/s"
std::string formatBitRate(int bitRate);

} // namespace transcoder
