// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Field helpers shared by the sentence decoders.

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace quorvel::nmea::fields {

constexpr bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

constexpr bool allDigits(std::string_view text)
{
    for (const char c : text) {
        if (!isDigit(c))
            return false;
    }
    return true;
}

// The number of two digits at `at`, which the caller has checked are digits.
constexpr int twoDigits(std::string_view text, std::size_t at)
{
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

// The fields of a line's last sentence behind its name ("$GPRMC,"), up to
// the '*', when the name's characters 4 to 6 are `type`: any talker, and the
// character behind the type is not examined. Nothing for another sentence,
// or for a checksum ("*hh", where present) that does not match.
std::optional<std::string_view> sentenceFields(std::string_view line, std::string_view type);

// Cuts `fields` at its commas into `out`, from the left, and returns how many
// it found: at most out.size(). The last one found ends at the next comma or
// at the end of `fields`; the text behind it is not read.
std::size_t splitFields(std::string_view fields, std::span<std::string_view> out);

} // namespace quorvel::nmea::fields
