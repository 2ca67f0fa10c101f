// The transcoder's command line: the options the window writes, in any order, and the output
// file as the last plain argument. Pure: no file is touched here.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace codec {

enum class Container { Wav, Mp3, Wma, Amr };

struct Options {
    std::string input;
    std::string output;
    Container container = Container::Wav;
    std::optional<double> startSeconds;  // -ss
    std::optional<double> lengthSeconds; // -t
    std::optional<long> bitRate;         // -ab, in bit/s
    std::optional<int> sampleRate;       // -ar
    std::optional<int> channels;         // -ac
};

// Either the options or one line that says what is wrong with the command line.
struct Parsed {
    Options options;
    std::string error;
};

// "hh:nn:ss" (or plain seconds, with a fraction if need be); nothing when malformed.
std::optional<double> parseTime(const std::string& text);
// "192" or "12.2k": kbit/s, with or without the unit; nothing when malformed.
std::optional<long> parseBitRate(const std::string& text);

Parsed parseArguments(const std::vector<std::string>& arguments);

// The entry of `supported` nearest to `wanted` (the lower one on a tie); `wanted` when the list
// is empty.
int nearest(int wanted, const std::vector<int>& supported);

} // namespace codec
