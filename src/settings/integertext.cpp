// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "integertext.h"

#include <algorithm>
#include <cstdint>

namespace quorvel::settings {

namespace {

constexpr bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

constexpr bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Far enough above 32768 that no rounding can bring a capped value back into range.
constexpr long Cap = 1'000'000;

} // namespace

std::optional<std::int16_t> textToInteger(std::string_view text, std::string_view decimalSeparator)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);

    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }

    long magnitude = 0;
    std::size_t digits = 0;
    while (!text.empty() && isDigit(text.front())) {
        magnitude = std::min(Cap, magnitude * 10 + (text.front() - '0'));
        text.remove_prefix(1);
        ++digits;
    }

    std::string_view fraction;
    if (!decimalSeparator.empty() && text.substr(0, decimalSeparator.size()) == decimalSeparator) {
        text.remove_prefix(decimalSeparator.size());
        fraction = text;
        while (!text.empty() && isDigit(text.front()))
            text.remove_prefix(1);
        fraction.remove_suffix(text.size());
        digits += fraction.size();
    }
    if (!text.empty() || digits == 0)
        return std::nullopt;

    // Round on the decimal digits themselves, so that a half is exact.
    if (!fraction.empty()) {
        const char first = fraction.front();
        const bool moreThanHalf = fraction.find_first_not_of('0', 1) != std::string_view::npos;
        if (first > '5' || (first == '5' && (moreThanHalf || magnitude % 2 == 1)))
            ++magnitude;
    }

    const long value = negative ? -magnitude : magnitude;
    if (value < INT16_MIN || value > INT16_MAX)
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

std::string integerText(int value)
{
    return std::to_string(value);
}

} // namespace quorvel::settings
