// Draws the waveform strip from the point arrays into an image: strokes, time-scale ticks, the
// centre line and the play line. Pure: the caller shows the image.
#pragma once

#include "playback/wave_placement.h"

#include <QColor>
#include <QImage>

#include <cstdint>
#include <span>

inline constexpr QRgb kWaveBackground = qRgb(33, 47, 56);
inline constexpr QRgb kWaveStroke = qRgb(81, 235, 63);
inline constexpr QRgb kPlayLine = qRgb(255, 255, 0);

struct WaveFrame {
    QImage image;
    WavePlacement placement;
};

// The strip of `size` pixels for the play line at point `position`; points 0..lastPoint of top
// and bottom (pixel rows, 64 = silence) are drawn. Whatever lies right of or below the image is
// clipped; the image's last column is the strip's last visible one, where the file's end stands.
// Lines run from their first pixel up to, not including, their end pixel.
WaveFrame renderWave(std::span<const std::int32_t> top, std::span<const std::int32_t> bottom,
                     std::int32_t lastPoint, std::int32_t position, QSize size,
                     QRgb background = kWaveBackground);
