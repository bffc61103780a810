// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "numbertext.h"

#include <charconv>

namespace quorvel::average {

std::string numberText(double value, std::string_view decimalSeparator)
{
    if (value == 0)
        return "0"; // negative zero included

    // Correctly rounded to 15 significant digits: "-d.ddddddddddddde+XX".
    // Not printf: it writes the C library's locale's decimal point, which
    // Qt sets from the user's locale, and which may be more than one byte
    // ("\u066b" in Pashto, Persian and Arabic locales).
    char scientific[40];
    const auto written
        = std::to_chars(scientific, scientific + sizeof scientific, value, std::chars_format::scientific, 14);
    std::string_view text(scientific, std::size_t(written.ptr - scientific));

    const bool negative = text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    const std::size_t e = text.find('e');
    if (e == std::string_view::npos)
        return std::string(scientific, written.ptr); // "inf", "nan": no digits to lay out
    int exponent = 0;
    std::string_view exponentText = text.substr(e + 1);
    if (exponentText.front() == '+')
        exponentText.remove_prefix(1); // from_chars takes no plus sign
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
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
