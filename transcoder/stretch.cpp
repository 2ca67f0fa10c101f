#include "transcoder/stretch.h"

#include <algorithm>
#include <numeric>

namespace transcoder {

std::int64_t rescale(std::int64_t value, std::int64_t to, std::int64_t from) {
    // Split first so that value * to cannot overflow for any length a file can have.
    const std::int64_t whole = value / from;
    const std::int64_t rest = value % from;
    return whole * to + (rest * to + from / 2) / from;
}

std::int64_t roundUpToFrames(std::int64_t value, std::int64_t frameSize) {
    return (value + frameSize - 1) / frameSize * frameSize;
}

FeedStart feedStart(std::int64_t markIn, std::int64_t markOut, int inRate, int outRate,
                    std::int64_t prerollIn) {
    // inStep input samples are exactly outStep output samples.
    const std::int64_t common = std::gcd(inRate, outRate);
    const std::int64_t inStep = inRate / common;
    const std::int64_t outStep = outRate / common;
    std::int64_t steps = (prerollIn + inStep - 1) / inStep;
    steps = std::min(steps, markIn / inStep);
    return {markIn - steps * inStep, markOut - steps * outStep};
}

} // namespace transcoder
