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

// The play line at point `position` of a file whose last point is `lastPoint`: the line walks
// to column 350, then the waveform scrolls under it, and over the last 350 points the window
// shows the last 1001 points while the line walks on to column 1000.
constexpr WavePlacement placeWaveWindow(std::int32_t position, std::int32_t lastPoint) {
    if (position < kPlayLineColumn || lastPoint < kWaveColumns - 1)
        return {position, 0};
    if (position <= lastPoint - kPlayLineColumn)
        return {kPlayLineColumn, position - kPlayLineColumn};
    return {position - lastPoint + kWaveColumns - 1, lastPoint - (kWaveColumns - 1)};
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
