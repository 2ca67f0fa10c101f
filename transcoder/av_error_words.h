// Plain words for FFmpeg's error codes, so that no FFmpeg error string ever reaches a user.
#pragma once

#include <string>

namespace transcoder {

// "its data are damaged" for AVERROR_INVALIDDATA; errno-based codes as systemErrorWords says.
std::string avErrorWords(int avError);

} // namespace transcoder
