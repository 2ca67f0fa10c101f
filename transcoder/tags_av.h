// Where tags meet FFmpeg: what a demuxer read from the opened file (or the companion a
// conversion left beside its WAV), and the tags a muxer writes into MP3 and WMA outputs.
#pragma once

#include "transcoder/settings.h"
#include "transcoder/tags.h"

#include <optional>
#include <string>

struct AVFormatContext;

namespace transcoder {

// The tags of the companion a conversion left beside `input` (input + ".tags"), when it has a
// whole one.
std::optional<Tags> companionTags(const std::string& input);

// The tags of a run's input: those of its companion (input + ".tags") when it has a whole one,
// else those the input holds itself. A tag that does not read as text is dropped.
Tags sourceTags(const std::string& input, const AVFormatContext* format, int audioStream);

// Before the muxer's header: MP3 gets our own ID3v2.3 tag in place of FFmpeg's (which has no
// COMM frame), WMA the ASF attributes; other containers nothing.
void addTags(AVFormatContext* muxer, Container container, const Tags& tags);

} // namespace transcoder
