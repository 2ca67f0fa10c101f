#include "playback/wave_render.h"

#include <algorithm>

namespace {

// A vertical line from row `from` towards row `to`, without the end row.
void verticalLine(QImage& image, int x, int from, int to, QRgb colour) {
    if (x < 0 || x >= image.width() || from == to)
        return;
    const int first = from < to ? from : to + 1;
    const int last = from < to ? to - 1 : from;
    for (int y = std::max(first, 0); y <= std::min(last, image.height() - 1); ++y)
        reinterpret_cast<QRgb*>(image.scanLine(y))[x] = colour;
}

void horizontalLine(QImage& image, int y, int fromX, int toX, QRgb colour) {
    if (y < 0 || y >= image.height())
        return;
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = std::max(fromX, 0); x < std::min(toX, image.width()); ++x)
        row[x] = colour;
}

} // namespace

WaveFrame renderWave(std::span<const std::int32_t> top, std::span<const std::int32_t> bottom,
                     std::int32_t lastPoint, std::int32_t position, QSize size, QRgb background) {
    WaveFrame frame{QImage(size, QImage::Format_RGB32),
                    placeWaveWindow(position, lastPoint, size.width() - 1)};
    QImage& image = frame.image;
    image.fill(background);
    const std::int32_t offset = frame.placement.offset;
    const std::int32_t lastColumn = std::min(lastPoint, kWaveColumns - 1);
    // Columns right of the image are clipped anyway.
    const std::int32_t drawnColumns = std::min(lastColumn, image.width() - 1);
    const auto stored = static_cast<std::int64_t>(std::min(top.size(), bottom.size()));
    for (std::int32_t x = 0; x <= drawnColumns; ++x) {
        const std::int32_t point = x + offset;
        if (point <= lastPoint && point < stored)
            verticalLine(image, x, top[point], bottom[point], kWaveStroke);
        if (const int tick = tickTopRow(point))
            verticalLine(image, x, 128, tick, kWaveStroke);
    }
    horizontalLine(image, 64, 0, kWaveColumns - 1, kWaveStroke);
    verticalLine(image, frame.placement.column, 0, 500, kPlayLine);
    return frame;
}
