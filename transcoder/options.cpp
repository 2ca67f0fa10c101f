#include "transcoder/options.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace transcoder {

namespace {

// Applies one option's value to the request; returns an empty string or the error line.
using ApplyFn = std::string (*)(Request&, const std::string&);

struct OptionEntry {
    std::string_view name;
    std::string_view valueName;
    std::string_view help;
    ApplyFn apply;
};

std::string timeError(std::string_view option, const std::string& value) {
    return "malformed time '" + value + "' for " + std::string(option) + " (expected hh:nn:ss)";
}

const std::array<OptionEntry, 8> kOptions{{
    {"-i", "FILE", "input file, any format FFmpeg decodes",
     [](Request& r, const std::string& v) {
         r.input = v;
         return std::string();
     }},
    {"-f", "wav", "write the output as WAV (16-bit PCM, 44100 Hz, 2 channels unless -ar/-ac)",
     [](Request& r, const std::string& v) {
         if (v != "wav")
             return "unsupported output format '" + v + "' for -f (only wav)";
         r.format = v;
         return std::string();
     }},
    {"-ss", "hh:nn:ss", "start of the stretch to write",
     [](Request& r, const std::string& v) {
         r.startMs = parseTimeMs(v);
         return r.startMs ? std::string() : timeError("-ss", v);
     }},
    {"-t", "hh:nn:ss", "length of the stretch to write",
     [](Request& r, const std::string& v) {
         r.lengthMs = parseTimeMs(v);
         return r.lengthMs ? std::string() : timeError("-t", v);
     }},
    {"-ab", "KBITS", "bit rate in kbit/s (192, 12.2k)",
     [](Request& r, const std::string& v) {
         r.bitRate = parseBitRate(v);
         return r.bitRate ? std::string() : "malformed bit rate '" + v + "' for -ab";
     }},
    {"-ar", "HZ", "sample rate in Hz",
     [](Request& r, const std::string& v) {
         r.sampleRate = parseInteger(v, 1000, 384000);
         return r.sampleRate ? std::string() : "malformed sample rate '" + v + "' for -ar";
     }},
    {"-ac", "N", "channel count (1 or 2; 0 keeps the input's)",
     [](Request& r, const std::string& v) {
         r.channels = parseInteger(v, 0, 64);
         return r.channels ? std::string() : "malformed channel count '" + v + "' for -ac";
     }},
    {"-acodec", "NAME", "encoder, must fit the output (amr_nb for .amr)",
     [](Request& r, const std::string& v) {
         r.codec = v;
         return std::string();
     }},
}};

const OptionEntry* findOption(std::string_view name) {
    for (const OptionEntry& option : kOptions)
        if (option.name == name)
            return &option;
    return nullptr;
}

bool isDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::optional<std::int64_t> toInt64(std::string_view text) {
    if (!isDigits(text) || text.size() > 12)
        return std::nullopt;
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace

std::optional<std::int64_t> parseTimeMs(std::string_view text) {
    const auto firstColon = text.find(':');
    if (firstColon == std::string_view::npos)
        return std::nullopt;
    const auto secondColon = text.find(':', firstColon + 1);
    if (secondColon == std::string_view::npos)
        return std::nullopt;
    std::string_view hours = text.substr(0, firstColon);
    std::string_view minutes = text.substr(firstColon + 1, secondColon - firstColon - 1);
    std::string_view seconds = text.substr(secondColon + 1);
    std::string_view fraction;
    if (const auto dot = seconds.find('.'); dot != std::string_view::npos) {
        fraction = seconds.substr(dot + 1);
        seconds = seconds.substr(0, dot);
        if (!isDigits(fraction) || fraction.size() > 3)
            return std::nullopt;
    }
    if (minutes.size() != 2 || seconds.size() != 2 || hours.size() > 6)
        return std::nullopt;
    const auto h = toInt64(hours);
    const auto m = toInt64(minutes);
    const auto s = toInt64(seconds);
    if (!h || !m || !s || *m >= 60 || *s >= 60)
        return std::nullopt;
    std::int64_t ms = 0;
    for (std::size_t i = 0; i < 3; ++i)
        ms = ms * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    return ((*h * 60 + *m) * 60 + *s) * 1000 + ms;
}

std::optional<int> parseBitRate(std::string_view text) {
    if (!text.empty() && (text.back() == 'k' || text.back() == 'K'))
        text.remove_suffix(1);
    std::string_view whole = text;
    std::string_view fraction;
    if (const auto dot = text.find('.'); dot != std::string_view::npos) {
        whole = text.substr(0, dot);
        fraction = text.substr(dot + 1);
        if (!isDigits(fraction) || fraction.size() > 3)
            return std::nullopt;
    }
    const auto kbits = toInt64(whole);
    if (!kbits || *kbits > 100000)
        return std::nullopt;
    std::int64_t bits = *kbits * 1000;
    std::int64_t scale = 100;
    for (char c : fraction) {
        bits += (c - '0') * scale;
        scale /= 10;
    }
    if (bits <= 0)
        return std::nullopt;
    return static_cast<int>(bits);
}

std::optional<int> parseInteger(std::string_view text, int minValue, int maxValue) {
    const auto value = toInt64(text);
    if (!value || *value < minValue || *value > maxValue)
        return std::nullopt;
    return static_cast<int>(*value);
}

ParseResult parseArguments(const std::vector<std::string>& args) {
    Request request;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.empty())
            continue;
        if (arg == "-h" || arg == "-help" || arg == "--help") {
            request.help = true;
            return {request, {}};
        }
        if (arg.size() > 1 && arg[0] == '-') {
            const OptionEntry* option = findOption(arg);
            if (!option)
                return {std::nullopt, "unknown option '" + arg + "'"};
            // The value is the next argument that is not empty.
            std::size_t next = i + 1;
            while (next < args.size() && args[next].empty())
                ++next;
            if (next >= args.size())
                return {std::nullopt, "option " + arg + " needs a value"};
            if (std::string error = option->apply(request, args[next]); !error.empty())
                return {std::nullopt, error};
            i = next;
            continue;
        }
        positional.push_back(arg);
    }
    if (request.input.empty())
        return {std::nullopt, "no input file given (-i FILE)"};
    if (positional.empty())
        return {std::nullopt, "no output file given"};
    if (positional.size() > 1)
        return {std::nullopt, "unexpected argument '" + positional.front() +
                                  "' (only one output file; quote paths with blanks)"};
    request.output = positional.back();
    return {request, {}};
}

std::string usageText() {
    std::string text = "usage: codec -i INPUT [options] OUTPUT.{wav,mp3,wma,amr}\n";
    for (const OptionEntry& option : kOptions) {
        std::string left = "  " + std::string(option.name) + " " + std::string(option.valueName);
        left.resize(std::max<std::size_t>(left.size() + 1, 20), ' ');
        text += left + std::string(option.help) + "\n";
    }
    return text;
}

} // namespace transcoder
