// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "numbertext.h"

#include <cstdio>
#include <cstdlib>

namespace quorvel::average {

std::string numberText(double value, std::string_view decimalSeparator)
{
    if (value == 0)
        return "0"; // negative zero included

    // printf rounds correctly to 15 significant digits: "-d.ddddddddddddde+XX".
    char scientific[40];
    std::snprintf(scientific, sizeof scientific, "%.14e", value);
    std::string_view text(scientific);

    const bool negative = text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    const std::size_t e = text.find('e');
    const int exponent = std::atoi(text.data() + e + 1);
    std::string digits;
    digits += text[0];
    digits.append(text.substr(2, e - 2));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    // Digits before the separator.
    const int integerDigits = exponent + 1;
    std::string result = negative ? "-" : "";
    if (integerDigits <= 0) {
        result += '0';
        result += decimalSeparator;
        result.append(static_cast<std::size_t>(-integerDigits), '0');
        result += digits;
    } else if (static_cast<std::size_t>(integerDigits) >= digits.size()) {
        result += digits;
        result.append(integerDigits - digits.size(), '0');
    } else {
        result.append(digits, 0, integerDigits);
        result += decimalSeparator;
        result.append(digits, integerDigits);
    }
    return result;
}

} // namespace quorvel::average
