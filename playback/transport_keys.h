// What the transport keys do, as pure decisions: Space plays, pauses or resumes a paused
// selection; the seek keys move a second back or on, to the start or to the last second
// (seconds are whole, as the slider shows them).
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

enum class SpaceAction { Play, Pause, ResumeSelection };

// Space presses Pause while the stream plays (a stall counts as playing) and Play otherwise; a
// paused selection goes on to its end mark instead of playing on past it, while Play is there
// to press.
constexpr SpaceAction spaceAction(bool playing, bool paused, bool playSelection, bool playEnabled) {
    if (playing)
        return SpaceAction::Pause;
    if (paused && playSelection && playEnabled)
        return SpaceAction::ResumeSelection;
    return SpaceAction::Play;
}
