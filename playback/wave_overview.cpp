#include "playback/wave_overview.h"

#include <algorithm>

namespace {
constexpr int kStripRows = 128;
constexpr int kSilenceRow = 64;
} // namespace

QImage renderWaveOverview(std::span<const std::int32_t> top, std::span<const std::int32_t> bottom,
                          std::int32_t lastPoint, QSize size, QRgb colour) {
    const auto points = std::min<std::int64_t>(
        {std::int64_t{lastPoint} + 1, std::int64_t(top.size()), std::int64_t(bottom.size())});
    if (size.isEmpty() || points <= 0)
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const int width = size.width(), height = size.height();
    for (int x = 0; x < width; ++x) {
        const std::int64_t first = x * points / width;
        const std::int64_t last = std::max(first, (x + 1) * points / width - 1);
        int highest = kSilenceRow, lowest = kSilenceRow; // rows: the top of a stroke is highest
        for (std::int64_t i = first; i <= last; ++i) {
            highest = std::min(highest, top[i]);
            lowest = std::max(lowest, bottom[i]);
        }
        if (highest == kSilenceRow && lowest == kSilenceRow)
            continue;
        const int from = std::clamp(highest * height / kStripRows, 0, height - 1);
        const int to = std::clamp(lowest * height / kStripRows, 0, height - 1);
        for (int y = from; y <= to; ++y)
            reinterpret_cast<QRgb*>(image.scanLine(y))[x] = colour;
    }
    return image;
}
