// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "nmea/gga.h"

#include <string>

namespace quorvel::clock {

// The local time of day "hh:mm:ss": the UTC time plus an offset in minutes,
// wrapped into the day.
std::string localTimeString(nmea::TimeOfDay utc, int offsetMinutes);

} // namespace quorvel::clock
