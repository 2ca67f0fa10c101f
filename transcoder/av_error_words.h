// Plain words for FFmpeg's error codes, so that no FFmpeg error string ever reaches a user.
#pragma once

#include "transcoder/failure.h"

#include <string>

namespace transcoder {

// "its data are damaged" for AVERROR_INVALIDDATA; errno-based codes as systemErrorWords says.
std::string avErrorWords(int avError);

// A write to path that FFmpeg reported failed: the system's error number it passes on decides
// the exit code.
Failure avWriteFailure(const std::string& path, int avError);

} // namespace transcoder
