// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gga.h"

#include "fields.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>

namespace quorvel::nmea {

namespace {

using fields::isDigit;
using fields::twoDigits;

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The "hh" behind a sentence's '*': two hex digits in either case, ending the
// line, equal to `sum`.
bool checksumMatches(std::string_view digits, unsigned char sum)
{
    if (digits.size() != 2)
        return false;
    const int high = hexValue(digits[0]);
    const int low = hexValue(digits[1]);
    return high >= 0 && low >= 0 && sum == high * 16 + low;
}

// Whether a ddmm.mmmm (or dddmm.mmmm) field names a place: no sign (the
// hemisphere field gives it), whole minutes below 60, and at most
// `maxDegrees` (90 or 180) degrees, which then take no minutes. MediaTek
// receivers send 8960.000000 (89 degrees 60 minutes) before their first fix.
bool isPossibleAngle(std::string_view field, int maxDegrees)
{
    if (field.empty() || !isDigit(field[0]))
        return false;
    const std::size_t point = std::min(field.find('.'), field.size());
    const std::size_t degreeDigits = point >= 2 ? point - 2 : 0;
    const int wholeMinutes = point >= 2 ? twoDigits(field, degreeDigits) : field[0] - '0';
    if (wholeMinutes >= 60)
        return false;
    std::string_view degreesText = field.substr(0, degreeDigits);
    while (!degreesText.empty() && degreesText.front() == '0')
        degreesText.remove_prefix(1);
    if (degreesText.size() > 3)
        return false;
    int degrees = 0;
    for (const char c : degreesText)
        degrees = degrees * 10 + (c - '0');
    if (degrees != maxDegrees)
        return degrees < maxDegrees;
    const std::string_view fraction = point < field.size() ? field.substr(point + 1) : std::string_view();
    return wholeMinutes == 0 && fraction.find_first_not_of('0') == std::string_view::npos;
}

// GGA fields by position, counted from 1 after the sentence name.
enum GgaField {
    Time,
    Latitude,
    NorthSouth,
    Longitude,
    EastWest,
    Quality,
    Satellites,
    Dilution,
    Altitude,
    AltitudeUnit,
    GeoidSeparation,
    FieldCount
};

} // namespace

Checksum checkChecksum(std::string_view sentence)
{
    const std::size_t star = sentence.find('*');
    if (star == std::string_view::npos)
        return Checksum::Absent;
    unsigned char sum = 0;
    for (std::size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(sentence[i]);
    return checksumMatches(sentence.substr(star + 1), sum) ? Checksum::Valid : Checksum::Invalid;
}

std::optional<double> parseDecimal(std::string_view text)
{
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '+' || negative))
        ++i;
    // The digits without the point, as long as they fit, and how many of
    // them stand after the point.
    std::uint64_t digits = 0;
    std::size_t digitCount = 0;
    std::size_t fractionDigits = 0;
    const auto takeDigits = [&] {
        const std::size_t start = i;
        for (; i < text.size() && isDigit(text[i]); ++i) {
            if (++digitCount <= 19)
                digits = digits * 10 + std::uint64_t(text[i] - '0');
        }
        return i - start;
    };
    if (takeDigits() == 0)
        return std::nullopt;
    if (i < text.size()) {
        if (text[i] != '.')
            return std::nullopt;
        ++i;
        fractionDigits = takeDigits();
        if (fractionDigits == 0 || i != text.size())
            return std::nullopt;
    }

    // Receivers send at most a dozen digits. Such a number and its power of
    // ten are both exact doubles, so one division gives the correctly
    // rounded value, the same as the general conversion below.
    constexpr double PowersOfTen[]
        = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (digitCount <= 15 && fractionDigits < std::size(PowersOfTen)) {
        const double value = double(digits) / PowersOfTen[fractionDigits];
        return negative ? -value : value;
    }

    // from_chars takes a minus sign but not a plus sign.
    const char *first = text.data() + (text[0] == '+' ? 1 : 0);
    double value = 0;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt; // out of the double range
    return value;
}

std::optional<TimeOfDay> parseTimeField(std::string_view field)
{
    if (field.size() < 6)
        return std::nullopt;
    for (std::size_t i = 0; i < 6; ++i) {
        if (!isDigit(field[i]))
            return std::nullopt;
    }
    TimeOfDay time{twoDigits(field, 0), twoDigits(field, 2), twoDigits(field, 4)};
    if (time.hour > 23 || time.minute > 59 || time.second > 59)
        return std::nullopt;
    if (field.size() > 6) {
        if (field[6] != '.')
            return std::nullopt;
        const std::string_view fraction = field.substr(7);
        if (!std::all_of(fraction.begin(), fraction.end(), isDigit))
            return std::nullopt;
        // No receiver resolves time beyond the nanosecond; further digits are dropped.
        constexpr int MaxDigits = 9;
        time.fractionDigits = int(std::min<std::size_t>(fraction.size(), MaxDigits));
        for (int i = 0; i < MaxDigits; ++i)
            time.nanosecond = time.nanosecond * 10 + (i < time.fractionDigits ? fraction[i] - '0' : 0);
    }
    return time;
}

std::optional<GgaFix> decodeGga(std::string_view line)
{
    const std::optional<std::string_view> body = fields::sentenceFields(line, "GGA");
    if (!body)
        return std::nullopt;
    // The fields up to the altitude must each be ended by a comma: a line cut
    // off right after the altitude, with no comma behind it, is incomplete.
    std::array<std::string_view, FieldCount> field;
    if (fields::splitFields(*body, field) <= AltitudeUnit)
        return std::nullopt;

    // Some receivers leave the quality field empty; that passes. 0 is no
    // fix; 6 (estimated, dead reckoning), 7 (manual input) and 8 (simulation)
    // say nothing of where the antenna is (a Garmin in demo mode sends 8).
    if (!field[Quality].empty() && field[Quality][0] == '0')
        return std::nullopt;
    if (field[Quality] == "6" || field[Quality] == "7" || field[Quality] == "8")
        return std::nullopt;

    const bool south = field[NorthSouth] == "S";
    const bool east = field[EastWest] == "E";
    if ((!south && field[NorthSouth] != "N") || (!east && field[EastWest] != "W"))
        return std::nullopt;

    const std::optional<double> latitude = parseDecimal(field[Latitude]);
    const std::optional<double> longitude = parseDecimal(field[Longitude]);
    const std::optional<double> altitude = parseDecimal(field[Altitude]);
    if (!latitude || !longitude || !altitude)
        return std::nullopt;
    if (!isPossibleAngle(field[Latitude], 90) || !isPossibleAngle(field[Longitude], 180))
        return std::nullopt;

    GgaFix fix;
    fix.latitude = south ? -*latitude : *latitude;
    fix.longitude = east ? -*longitude : *longitude;
    fix.altitude = *altitude;
    fix.utc = parseTimeField(field[Time]);
    // What the sentence says of the fix's quality, where it says it.
    if (field[Quality].size() == 1 && isDigit(field[Quality][0]))
        fix.quality = field[Quality][0] - '0';
    // Satellites in use: one to three digits ("08", "12"); anything else says nothing.
    if (const std::string_view n = field[Satellites];
        !n.empty() && n.size() <= 3 && std::all_of(n.begin(), n.end(), isDigit)) {
        int count = 0;
        for (const char c : n)
            count = count * 10 + (c - '0');
        fix.satellites = count;
    }
    fix.hdop = parseDecimal(field[Dilution]);
    // Behind the altitude's unit, the geoid's height above the ellipsoid; a
    // field not sent stays empty and says nothing.
    fix.geoidSeparation = parseDecimal(field[GeoidSeparation]);
    return fix;
}

} // namespace quorvel::nmea
