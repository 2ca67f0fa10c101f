// The whole file's waveform squeezed into a picture, for the position slider's groove: each
// column spans its share of the points and shows their loudest stroke. Pure: built once per load
// and per resize from the point arrays the scan makes; the caller shows it.
#pragma once

#include <QImage>

#include <cstdint>
#include <span>

// A faint blue-grey, apart from the slider's groove, its marked stretch and its handle.
inline constexpr QRgb kOverviewStroke = qRgb(150, 175, 200);

// Points 0..lastPoint of top and bottom (pixel rows of the strip, 64 = silence) over the image's
// width; silence leaves a column transparent. Empty for an empty size or no points.
QImage renderWaveOverview(std::span<const std::int32_t> top, std::span<const std::int32_t> bottom,
                          std::int32_t lastPoint, QSize size, QRgb colour = kOverviewStroke);
