// The time texts of the window and the seconds the slider carries.
#pragma once

#include <QString>

#include <cstdint>

// What a time label shows at 0; a mark label showing it counts as a mark not set.
inline const QString kUnsetTime = QStringLiteral("00:00:00");

// "hh:nn:ss" of a whole number of seconds, as a time of day: 86400 gives "00:00:00" again.
QString FormatTime(std::int64_t seconds);

// Seconds rounded to the nearest whole second, halves to the even neighbour, as the slider holds
// them in 16 bits. Values beyond that range are held at its ends; see fitsSlider.
std::int16_t roundSeconds(double seconds);

// Whether roundSeconds keeps the value as it is (below 32767.5 s).
bool fitsSlider(double seconds);
