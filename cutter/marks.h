// Where the cut marks go, free of the window: the stretch End Cut makes, and the stretch Random
// Cut draws. Marks are whole seconds of the loaded file, as the position slider counts them.
#pragma once

#include <cstdint>
#include <functional>

// The marked stretch, begin <= end.
struct CutStretch {
    std::int32_t beginSeconds = 0;
    std::int32_t endSeconds = 0;
    bool operator==(const CutStretch&) const = default;
};

// The stretch End Cut at endSeconds makes after a Begin Cut at beginSeconds. An end before the
// begin marks the stretch between the two rather than an empty one.
CutStretch endCutStretch(std::int32_t beginSeconds, std::int32_t endSeconds);

// A whole number from lowest to highest, both included.
using DrawBetween = std::function<std::int32_t(std::int32_t lowest, std::int32_t highest)>;

// The stretch Random Cut marks in a file whose last second is lastSecond: the begin drawn from 1
// to lastSecond, then the end from the begin to lastSecond, drawn again until the stretch is at
// least 6 s long. A file too short for that (lastSecond below 7) gets, without a draw, the
// longest stretch that begins at a set mark: from 1, or from 0 when 1 would leave nothing.
CutStretch randomStretch(std::int32_t lastSecond, const DrawBetween& draw);

// The whole number a random fraction (0 <= fraction < 1) stands for between lowest and highest,
// both included, each equally likely.
std::int32_t scaledDraw(double fraction, std::int32_t lowest, std::int32_t highest);

// scaledDraw of a fraction from a generator seeded once per run: seeding from the clock on
// every draw would repeat draws within one tick of the clock.
std::int32_t randomBetween(std::int32_t lowest, std::int32_t highest);
