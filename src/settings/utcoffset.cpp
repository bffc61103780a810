// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "utcoffset.h"

#include "integertext.h"

#include <cstdio>
#include <cstdlib>

namespace quorvel::settings {

namespace {

constexpr bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool inRange(int minutes)
{
    return minutes >= MinUtcOffsetMinutes && minutes <= MaxUtcOffsetMinutes;
}

} // namespace

std::optional<int> parseUtcOffset(std::string_view text, std::string_view decimalSeparator)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        const std::optional<std::int16_t> hours = textToInteger(text, decimalSeparator);
        if (!hours || !inRange(*hours * 60))
            return std::nullopt;
        return *hours * 60;
    }

    std::string_view hoursText = trimmed(text.substr(0, colon));
    const std::string_view minutesText = trimmed(text.substr(colon + 1));
    const bool negative = !hoursText.empty() && hoursText.front() == '-';
    if (!hoursText.empty() && (hoursText.front() == '-' || hoursText.front() == '+'))
        hoursText.remove_prefix(1);
    if (hoursText.empty() || hoursText.size() > 2 || !isDigit(hoursText[0])
        || (hoursText.size() == 2 && !isDigit(hoursText[1])))
        return std::nullopt;
    if (minutesText.size() != 2 || !isDigit(minutesText[0]) || !isDigit(minutesText[1]))
        return std::nullopt;
    const int hours = std::atoi(std::string(hoursText).c_str());
    const int minutes = (minutesText[0] - '0') * 10 + (minutesText[1] - '0');
    if (minutes % 15 != 0 || minutes >= 60)
        return std::nullopt;
    const int total = (negative ? -1 : 1) * (hours * 60 + minutes);
    if (!inRange(total))
        return std::nullopt;
    return total;
}

std::optional<int> storedUtcOffset(std::string_view text, std::string_view decimalSeparator)
{
    if (const std::optional<std::int16_t> hours = textToInteger(text, decimalSeparator))
        return *hours * 60;
    return parseUtcOffset(text, decimalSeparator);
}

std::string utcOffsetText(int minutes)
{
    if (minutes % 60 == 0)
        return integerText(minutes / 60);
    char text[16];
    std::snprintf(text, sizeof text, "%s%d:%02d", minutes < 0 ? "-" : "", std::abs(minutes) / 60,
                  std::abs(minutes) % 60);
    return text;
}

std::string utcOffsetLabel(int minutes)
{
    const std::string text = utcOffsetText(minutes);
    return "UTC" + (minutes < 0 ? text : "+" + text);
}

} // namespace quorvel::settings
