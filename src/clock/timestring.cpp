// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "timestring.h"

#include <cstdio>

namespace quorvel::clock {

std::string localTimeString(nmea::TimeOfDay utc, int offsetMinutes)
{
    constexpr int MinutesPerDay = 24 * 60;
    const int minuteOfDay
        = ((utc.hour * 60 + utc.minute + offsetMinutes) % MinutesPerDay + MinutesPerDay) % MinutesPerDay;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", minuteOfDay / 60, minuteOfDay % 60, utc.second);
    return text;
}

} // namespace quorvel::clock
