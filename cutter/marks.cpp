#include "cutter/marks.h"

#include <algorithm>
#include <cmath>
#include <random>

CutStretch endCutStretch(std::int32_t beginSeconds, std::int32_t endSeconds) {
    return {std::min(beginSeconds, endSeconds), std::max(beginSeconds, endSeconds)};
}

CutStretch randomStretch(std::int32_t lastSecond, const DrawBetween& draw) {
    if (lastSecond < 7)
        return {lastSecond >= 2 ? 1 : 0, lastSecond};
    CutStretch stretch;
    do {
        stretch.beginSeconds = draw(1, lastSecond);
        stretch.endSeconds = draw(stretch.beginSeconds, lastSecond);
    } while (stretch.endSeconds - stretch.beginSeconds <= 5);
    return stretch;
}

std::int32_t scaledDraw(double fraction, std::int32_t lowest, std::int32_t highest) {
    // A fraction a hair below 1 rounds up to highest + 1 in the sum when lowest is large.
    const double drawn =
        std::floor(fraction * (static_cast<double>(highest) - lowest + 1.0) + lowest);
    return static_cast<std::int32_t>(std::min(drawn, static_cast<double>(highest)));
}

std::int32_t randomBetween(std::int32_t lowest, std::int32_t highest) {
    static std::mt19937 engine{std::random_device{}()};
    return scaledDraw(std::uniform_real_distribution<double>(0.0, 1.0)(engine), lowest, highest);
}
