// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel::settings {

// The UTC offsets of the world's time zones: quarter hours from -12:00
// (Baker Island) to +14:00 (Kiribati), in minutes.
constexpr int MinUtcOffsetMinutes = -12 * 60;
constexpr int MaxUtcOffsetMinutes = 14 * 60;

// An offset as a user types it: a whole number of hours as the Integer text
// rules read it ("5", "-3", "+13", " 5 ", "12.5" rounds to 12), or hours and
// minutes "h:mm" with minutes 00, 15, 30 or 45 ("5:30", "-3:30", "+12:45").
// Returns the minutes, or nothing for other text or an offset out of range.
std::optional<int> parseUtcOffset(std::string_view text, std::string_view decimalSeparator);

// An offset as stored: a whole number is taken as that many hours, even one
// beyond the box's range (as typed into the box, it would be ignored); "h:mm"
// as parseUtcOffset() takes it.
std::optional<int> storedUtcOffset(std::string_view text, std::string_view decimalSeparator);

// How an offset is stored and shown: whole hours as before ("5", "-3"),
// others as "h:mm" ("5:30", "-3:30", "-0:30").
std::string utcOffsetText(int minutes);

// "UTC+5:30", "UTC-3", "UTC+0" (for messages).
std::string utcOffsetLabel(int minutes);

} // namespace quorvel::settings
