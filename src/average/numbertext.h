// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>

namespace quorvel::average {

// A finite double as plain decimal text, rounded to 15 significant digits:
// no exponent, no group separators, no trailing zeros after the separator and
// no separator when nothing follows it, "0" before the separator below 1.
// 48.0704 -> "48.0704", 545.0 -> "545", -0.5 -> "-0.5", 1234.5 -> "1234.5".
std::string numberText(double value, std::string_view decimalSeparator);

} // namespace quorvel::average
