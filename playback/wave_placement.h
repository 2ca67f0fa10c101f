// Where the waveform strip's window of 1001 points lies over the file, and the time scale's ticks.
// Points are 10 ms each.
#pragma once

#include <cstdint>

inline constexpr std::int32_t kWaveColumns = 1001;
inline constexpr std::int32_t kPlayLineColumn = 350;

struct WavePlacement {
    std::int32_t column = 0; // the play line's column
    std::int32_t offset = 0; // the point drawn at column 0
};

// The play line at point `position` of a file whose last point is `lastPoint`, on a strip whose
// last visible column is `lastColumn` (at most 1000): the line walks to column 350, then the
// waveform scrolls under it, and over the last 350 points the window shows the file's end at the
// last visible column while the line walks on to it. A file of fewer points than the drawn
// window never scrolls, unless its end lies past the visible columns.
constexpr WavePlacement placeWaveWindow(std::int32_t position, std::int32_t lastPoint,
                                        std::int32_t lastColumn = kWaveColumns - 1) {
    lastColumn = lastColumn < kWaveColumns - 1 ? lastColumn : kWaveColumns - 1;
    const bool endInSight = lastPoint <= lastColumn;
    if (position < kPlayLineColumn || (lastPoint < kWaveColumns - 1 && endInSight))
        return {position, 0};
    if (position <= lastPoint - kPlayLineColumn)
        return lastPoint < kWaveColumns - 1
                   ? WavePlacement{position, 0}
                   : WavePlacement{kPlayLineColumn, position - kPlayLineColumn};
    return {position - lastPoint + lastColumn, lastPoint - lastColumn};
}

// The row a tick under the point reaches up to (the ticks stand on row 128): 100 for a whole
// second, 120 for every other 100 ms, 0 where no tick stands.
constexpr int tickTopRow(std::int32_t point) {
    if (point % 100 == 0)
        return 100;
    if (point % 10 == 0)
        return 120;
    return 0;
}
