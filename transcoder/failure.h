// How a run of the transcoder fails: an exception that carries the exit code of its kind and
// one line in plain words, and those plain words for the operating system's error numbers.
// FFmpeg's own error codes get their words in av_error_words.cpp, where its headers are.
#pragma once

#include "transcoder/exit_codes.h"

#include <stdexcept>
#include <string>

namespace transcoder {

class Failure : public std::runtime_error {
public:
    Failure(ExitCode code, const std::string& words) : std::runtime_error(words), code_(code) {}
    ExitCode code() const { return code_; }

private:
    ExitCode code_;
};

// Plain words for an errno value ("the disk is full"), never the C library's own text.
std::string systemErrorWords(int errorNumber);

// The kind of a failed write of the output: a full disk, a name too long, or another failure.
ExitCode writeFailureCode(int errorNumber);

} // namespace transcoder
