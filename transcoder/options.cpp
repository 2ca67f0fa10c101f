#include "transcoder/options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace codec {
namespace {

std::optional<double> parseNumber(const std::string& text) {
    if (text.empty() || !std::all_of(text.begin(), text.end(),
                                     [](unsigned char c) { return std::isdigit(c) || c == '.'; }))
        return std::nullopt;
    if (std::count(text.begin(), text.end(), '.') > 1 || text == ".")
        return std::nullopt;
    return std::strtod(text.c_str(), nullptr);
}

std::optional<int> parseCount(const std::string& text) {
    const auto value = parseNumber(text);
    if (!value || *value != std::floor(*value) || *value < 1 || *value > 1e6)
        return std::nullopt;
    return static_cast<int>(*value);
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

std::optional<double> parseTime(const std::string& text) {
    double seconds = 0;
    std::size_t from = 0;
    int parts = 0;
    while (true) {
        const std::size_t colon = text.find(':', from);
        const auto part = parseNumber(text.substr(from, colon - from));
        if (!part || ++parts > 3)
            return std::nullopt;
        seconds = seconds * 60 + *part;
        if (colon == std::string::npos)
            break;
        from = colon + 1;
    }
    return seconds;
}

std::optional<long> parseBitRate(const std::string& text) {
    std::string number = lower(text);
    if (!number.empty() && number.back() == 'k')
        number.pop_back();
    const auto kbits = parseNumber(number);
    if (!kbits || *kbits <= 0 || *kbits > 10000)
        return std::nullopt;
    return std::lround(*kbits * 1000);
}

Parsed parseArguments(const std::vector<std::string>& arguments) {
    Parsed parsed;
    Options& o = parsed.options;
    bool wavForced = false;
    const auto fail = [&parsed](std::string line) {
        parsed.error = std::move(line);
        return parsed;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a.empty())
            continue;
        if (a[0] != '-' || a.size() == 1) {
            o.output = a;
            continue;
        }
        if (i + 1 >= arguments.size())
            return fail("option " + a + " needs a value");
        const std::string& v = arguments[++i];
        if (a == "-i") {
            o.input = v;
        } else if (a == "-f") {
            if (lower(v) != "wav")
                return fail("unknown output format " + v + " (only wav can be forced)");
            wavForced = true;
        } else if (a == "-ss" || a == "-t") {
            const auto t = parseTime(v);
            if (!t)
                return fail("malformed time " + v + " for " + a + " (expected hh:nn:ss)");
            (a == "-ss" ? o.startSeconds : o.lengthSeconds) = *t;
        } else if (a == "-ab") {
            o.bitRate = parseBitRate(v);
            if (!o.bitRate)
                return fail("malformed bit rate " + v + " (expected kbit/s such as 192)");
        } else if (a == "-ar") {
            o.sampleRate = parseCount(v);
            if (!o.sampleRate)
                return fail("malformed sample rate " + v);
        } else if (a == "-ac") {
            o.channels = parseCount(v);
            if (!o.channels || *o.channels > 8)
                return fail("malformed channel count " + v);
        } else if (a == "-acodec") {
            if (lower(v) != "amr_nb")
                return fail("unknown codec " + v);
        } else {
            return fail("unknown option " + a);
        }
    }
    if (o.input.empty())
        return fail("no input file given (-i)");
    if (o.output.empty())
        return fail("no output file given");
    const std::size_t dot = o.output.find_last_of('.');
    const std::size_t slash = o.output.find_last_of("/\\");
    const std::string extension =
        dot == std::string::npos || (slash != std::string::npos && dot < slash)
            ? std::string()
            : lower(o.output.substr(dot + 1));
    if (wavForced || extension == "wav")
        o.container = Container::Wav;
    else if (extension == "mp3")
        o.container = Container::Mp3;
    else if (extension == "wma")
        o.container = Container::Wma;
    else if (extension == "amr")
        o.container = Container::Amr;
    else
        return fail("unknown output format ." + extension + " (mp3, wma, wav or amr)");
    return parsed;
}

int nearest(int wanted, const std::vector<int>& supported) {
    if (supported.empty())
        return wanted;
    int best = supported.front();
    for (const int s : supported)
        if (std::abs(s - wanted) < std::abs(best - wanted) ||
            (std::abs(s - wanted) == std::abs(best - wanted) && s < best))
            best = s;
    return best;
}

} // namespace codec
