#include "base/format_time.h"

#include <algorithm>
#include <cmath>

QString FormatTime(std::int64_t seconds) {
    constexpr std::int64_t day = 86400;
    const std::int64_t ofDay = ((seconds % day) + day) % day;
    return QStringLiteral("%1:%2:%3")
        .arg(ofDay / 3600, 2, 10, QLatin1Char('0'))
        .arg(ofDay / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(ofDay % 60, 2, 10, QLatin1Char('0'));
}

std::int16_t roundSeconds(double seconds) {
    // The default floating-point rounding mode rounds halves to even.
    const double rounded = std::nearbyint(seconds);
    if (std::isnan(rounded))
        return 0;
    return static_cast<std::int16_t>(std::clamp(rounded, -32768.0, 32767.0));
}

bool fitsSlider(double seconds) {
    const double rounded = std::nearbyint(seconds);
    return rounded >= -32768.0 && rounded <= 32767.0;
}
