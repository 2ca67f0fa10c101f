// Sample arithmetic of a run, in whole samples: rescaling between rates, and where to start
// feeding the resampler so that its output lands exactly on the marked sample. Pure functions,
// no FFmpeg.
#pragma once

#include <cstdint>
#include <limits>

namespace transcoder {

// An open end of a stretch.
inline constexpr std::int64_t kOpenEnd = std::numeric_limits<std::int64_t>::max();

// value * to / from, rounded to the nearest (halves up); value >= 0, rates > 0.
std::int64_t rescale(std::int64_t value, std::int64_t to, std::int64_t from);

// value rounded up to a whole number of frames of frameSize samples.
std::int64_t roundUpToFrames(std::int64_t value, std::int64_t frameSize);

struct FeedStart {
    std::int64_t input;  // first input sample to feed, at the input rate
    std::int64_t output; // the output sample that input sample becomes, at the output rate
};

// Where to start feeding so that about prerollIn real input samples precede markIn (never before
// sample 0), with the distance from there to markIn a whole number of output samples, so that the
// output sample markOut is exactly the resampled markIn.
FeedStart feedStart(std::int64_t markIn, std::int64_t markOut, int inRate, int outRate,
                    std::int64_t prerollIn);

} // namespace transcoder
