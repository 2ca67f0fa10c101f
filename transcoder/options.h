// Command-line vocabulary of the transcoder: the option table, the parsed request and the small
// parsers for times (hh:nn:ss) and bit rates (192, 12.2k). Pure functions, no FFmpeg.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace transcoder {

// What one run was asked to do. Absent values take the defaults of the chosen output.
struct Request {
    std::string input;
    std::string output;
    std::optional<std::string> format;    // -f: forces the output format (only "wav")
    std::optional<std::string> codec;     // -acodec: must agree with the output format
    std::optional<std::int64_t> startMs;  // -ss
    std::optional<std::int64_t> lengthMs; // -t
    std::optional<int> bitRate;           // -ab, bit/s
    std::optional<int> sampleRate;        // -ar, Hz
    std::optional<int> channels;          // -ac, 0 means "as the input"
    bool help = false;
};

struct ParseResult {
    std::optional<Request> request; // set on success
    std::string error;              // one line naming the problem otherwise
};

// Parses argv (without the program name). Empty arguments are skipped; options take the next
// argument as their value, in any order; the one argument that is not an option or a value is
// the output.
ParseResult parseArguments(const std::vector<std::string>& args);

// "hh:nn:ss" with an optional fraction of a second ("00:01:05", "1:00:00.250"); minutes and
// seconds below 60. Returns milliseconds, or nothing when malformed.
std::optional<std::int64_t> parseTimeMs(std::string_view text);

// "192" (kbit/s), "12.2k", "192k" -> bit/s; nothing when malformed or not positive.
std::optional<int> parseBitRate(std::string_view text);

// A whole decimal number within [minValue, maxValue].
std::optional<int> parseInteger(std::string_view text, int minValue, int maxValue);

// The usage text, built from the same table that drives parsing.
std::string usageText();

} // namespace transcoder
