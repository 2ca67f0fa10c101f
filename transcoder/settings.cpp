#include "transcoder/settings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

namespace transcoder {

namespace {

constexpr std::array<int, 9> kMp3Rates{48000, 44100, 32000, 24000, 22050,
                                       16000, 12000, 11025, 8000};
constexpr std::array<int, 14> kMpeg1BitRates{32000,  40000,  48000,  56000,  64000,
                                             80000,  96000,  112000, 128000, 160000,
                                             192000, 224000, 256000, 320000};
constexpr std::array<int, 14> kMpeg2BitRates{8000,  16000, 24000, 32000,  40000,  48000,  56000,
                                             64000, 80000, 96000, 112000, 128000, 144000, 160000};
// LAME allows MPEG-2.5 (8000 to 12000 Hz) only up to 64 kbit/s and silently clamps above.
constexpr std::array<int, 8> kMpeg25BitRates{8000, 16000, 24000, 32000, 40000, 48000, 56000, 64000};
constexpr std::array<int, 8> kAmrBitRates{4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};

// wmav2 refuses less than 24 kbit/s and more than 48000 Hz.
constexpr int kWmaMinBitRate = 24000;
constexpr int kWmaMaxRate = 48000;
constexpr int kMaxChannels = 2;

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

std::optional<Container> containerFromExtension(std::string_view path) {
    const auto slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const auto dot = name.find_last_of('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    const std::string ext = lower(name.substr(dot + 1));
    if (ext == "wav")
        return Container::Wav;
    if (ext == "mp3")
        return Container::Mp3;
    if (ext == "wma")
        return Container::Wma;
    if (ext == "amr")
        return Container::Amr;
    return std::nullopt;
}

std::string_view containerName(Container container) {
    switch (container) {
    case Container::Wav:
        return "wav";
    case Container::Mp3:
        return "mp3";
    case Container::Wma:
        return "wma";
    case Container::Amr:
        return "amr";
    }
    return "?";
}

int nearestValue(int requested, std::span<const int> candidates) {
    int best = candidates.front();
    for (int c : candidates) {
        const long distance = std::labs(static_cast<long>(c) - requested);
        const long bestDistance = std::labs(static_cast<long>(best) - requested);
        if (distance < bestDistance || (distance == bestDistance && c > best))
            best = c;
    }
    return best;
}

std::span<const int> mp3SampleRates() {
    return kMp3Rates;
}

std::span<const int> mp3BitRates(int sampleRate) {
    if (sampleRate >= 32000)
        return kMpeg1BitRates;
    if (sampleRate >= 16000)
        return kMpeg2BitRates;
    return kMpeg25BitRates;
}

std::span<const int> amrBitRates() {
    return kAmrBitRates;
}

std::string formatBitRate(int bitRate) {
    std::string text = std::to_string(bitRate / 1000);
    if (const int rest = bitRate % 1000; rest != 0) {
        std::string digits = std::to_string(1000 + rest).substr(1);
        while (digits.back() == '0')
            digits.pop_back();
        text += "." + digits;
    }
    return text + " kbit/s";
}

FittedSettings fitToEncoder(const EncodeSettings& wanted) {
    FittedSettings fitted{wanted, {}};
    EncodeSettings& s = fitted.settings;
    auto note = [&](const char* setting, int asked, int used) {
        if (asked != used)
            fitted.substitutions.push_back({setting, asked, used});
    };
    auto fitRate = [&](int rate) {
        note("rate", s.sampleRate, rate);
        s.sampleRate = rate;
    };
    auto fitChannels = [&](int channels) {
        note("channels", s.channels, channels);
        s.channels = channels;
    };
    auto fitBitRate = [&](int bitRate) {
        if (s.bitRate != 0)
            note("bitrate", s.bitRate, bitRate);
        s.bitRate = bitRate;
    };

    switch (s.container) {
    case Container::Wav:
        fitChannels(std::clamp(s.channels, 1, kMaxChannels));
        s.bitRate = 0; // PCM: the rate follows from the sample rate and channels
        break;
    case Container::Mp3:
        fitRate(nearestValue(s.sampleRate, kMp3Rates));
        fitChannels(std::clamp(s.channels, 1, kMaxChannels));
        fitBitRate(nearestValue(s.bitRate == 0 ? 128000 : s.bitRate, mp3BitRates(s.sampleRate)));
        break;
    case Container::Wma:
        fitRate(std::min(s.sampleRate, kWmaMaxRate));
        fitChannels(std::clamp(s.channels, 1, kMaxChannels));
        fitBitRate(std::max(s.bitRate == 0 ? 128000 : s.bitRate, kWmaMinBitRate));
        break;
    case Container::Amr:
        fitRate(8000);
        fitChannels(1);
        fitBitRate(nearestValue(s.bitRate == 0 ? 12200 : s.bitRate, kAmrBitRates));
        break;
    }
    return fitted;
}

} // namespace transcoder
