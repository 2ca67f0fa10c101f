// The heard position of a playing stream between the output's own updates, which come in steps
// (40-60 ms on PulseAudio): a monotonic clock moves it on, it never goes back, never passes what
// was handed to the output, and small errors are worked off over the next steps so the play line
// never jumps. Pure: the caller gives it the output's figures; all positions are bytes of PCM.
#pragma once

#include <QtGlobal>

class PositionClock {
public:
    // Starts afresh from `bytes`: a start, a seek or a resume. The position holds there until the
    // output first moves (a sink may stall a few hundred ms when it starts).
    void restart(qint64 bytes);

    // The position heard now, given the output's own figure (bytes read less bytes buffered),
    // the bytes handed to it, the clock reading and the stream's rate.
    qint64 heard(qint64 outputBytes, qint64 handedBytes, qint64 nowNs, qint64 bytesPerSecond,
                 int bytesPerFrame);

private:
    qint64 m_startBytes = 0;
    // The position stood at m_anchorBytes when the clock read m_anchorNs.
    qint64 m_anchorBytes = 0;
    qint64 m_anchorNs = 0;
    // The output's own figure when last seen (-1: not yet since the restart), and the last
    // position reported.
    qint64 m_lastOutputBytes = -1;
    qint64 m_lastBytes = 0;
};
