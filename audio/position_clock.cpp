#include "audio/position_clock.h"

#include <algorithm>
#include <cstdlib>

namespace {
// A correction larger than this is a stall or a jump of the output, taken at once; smaller ones
// are spread over the next steps.
constexpr qint64 kResyncMs = 100;
} // namespace

void PositionClock::restart(qint64 bytes) {
    m_startBytes = bytes;
    m_lastOutputBytes = -1;
    m_lastBytes = bytes;
}

qint64 PositionClock::heard(qint64 outputBytes, qint64 handedBytes, qint64 nowNs,
                            qint64 bytesPerSecond, int bytesPerFrame) {
    // Until the output first moves, the position holds; its first move sets the clock.
    if (m_lastOutputBytes < 0 || m_lastOutputBytes == m_startBytes) {
        m_anchorBytes = std::max(outputBytes, m_lastBytes);
        m_anchorNs = nowNs;
        m_lastOutputBytes = outputBytes;
    }
    qint64 estimate =
        m_anchorBytes + ((nowNs - m_anchorNs) * bytesPerSecond + 500000000) / 1000000000;
    if (outputBytes != m_lastOutputBytes) {
        const qint64 error = outputBytes - estimate;
        // Small errors are worked off a millisecond a step, below what a 10-ms tick shows.
        const qint64 slew = bytesPerSecond / 1000;
        const qint64 correction = std::abs(error) > bytesPerSecond * kResyncMs / 1000
                                      ? error
                                      : std::clamp(error / 4, -slew, slew);
        m_anchorBytes += correction;
        estimate += correction;
        m_lastOutputBytes = outputBytes;
    }
    qint64 heard = std::clamp(estimate, m_lastBytes, std::max(m_lastBytes, handedBytes));
    heard -= heard % bytesPerFrame;
    m_lastBytes = std::max(m_lastBytes, heard);
    return m_lastBytes;
}
