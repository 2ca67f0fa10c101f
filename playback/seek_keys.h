// The keys that move playback from anywhere in the window: a second back or on, the start, the
// last second. Seconds are whole, as the slider shows them.
#pragma once

#include <Qt>

#include <algorithm>
#include <cmath>

// The second a file of `lengthSeconds` starts its last second at: 29 for 30.0 s, 30 for 30.4 s.
inline int lastWholeSecond(double lengthSeconds) {
    return std::max(0, static_cast<int>(std::ceil(lengthSeconds)) - 1);
}

// The second `key` moves to from `currentSecond` in a file whose last second starts at
// `lastSecond`; -1 when the key does not seek.
constexpr int seekKeySecond(int key, int currentSecond, int lastSecond) {
    switch (key) {
    case Qt::Key_Left:
        return std::clamp(currentSecond - 1, 0, lastSecond);
    case Qt::Key_Right:
        return std::clamp(currentSecond + 1, 0, lastSecond);
    case Qt::Key_Home:
        return 0;
    case Qt::Key_End:
        return lastSecond;
    default:
        return -1;
    }
}
