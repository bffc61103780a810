// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "timestring.h"

#include <cstdio>

namespace quorvel::clock {

std::string localTimeString(nmea::TimeOfDay utc, int offsetHours)
{
    const int hour = ((utc.hour + offsetHours) % 24 + 24) % 24;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, utc.minute, utc.second);
    return text;
}

} // namespace quorvel::clock
