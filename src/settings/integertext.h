// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::settings {

// Reads a signed 16-bit integer the way a user types it: blanks around it
// are ignored, a sign is optional, and a fraction after the locale's decimal
// separator is rounded to the nearest whole number, a half to the even
// neighbour (4.5 -> 4, 5.5 -> 6, -12.5 -> -12). Returns nothing for text
// that is not such a number or lies outside -32768..32767.
std::optional<std::int16_t> textToInteger(std::string_view text, std::string_view decimalSeparator);

// The text form of an integer: digits without leading zeros, "-" when negative.
std::string integerText(int value);

} // namespace quorvel::settings
