// The MP3 cut made without encoding: when the WAV being cut was converted from a constant-bit-
// rate MP3 that is still as it was, and the cut asks for that MP3's own bit rate, sample rate
// and channels, the cut is written from the source's frames. The frames in front that the
// first one needs, and a Xing/LAME frame whose delay and padding make a gapless decoder start
// and end on the marked samples, keep it exact.
#pragma once

#include "transcoder/options.h"
#include "transcoder/source_record.h"
#include "transcoder/transcode.h"

#include <optional>
#include <string>

namespace transcoder {

// Writes the cut from the source's frames and returns true when the request allows it;
// returns false, having written nothing, when it does not (the caller then encodes from the
// WAV). Throws Failure when writing the output fails.
bool copyMp3Frames(const Request& request, const ProgressFn& progress);

// After a conversion into wavPath: records the input beside the WAV when it is a CBR MP3 that
// was not changed since inputStamp was taken, before the conversion.
void recordSource(const std::string& input, const std::string& wavPath,
                  const std::optional<FileStamp>& inputStamp);

} // namespace transcoder
