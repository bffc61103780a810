// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string_view>

namespace quorvel::nmea {

struct TimeOfDay
{
    int hour = 0;
    int minute = 0;
    int second = 0;
    // The fraction of the second, and how many digits the receiver gave it
    // (up to nine): "120000.10" is nanosecond 100,000,000 with two digits.
    int nanosecond = 0;
    int fractionDigits = 0;

    friend bool operator==(const TimeOfDay &, const TimeOfDay &) = default;
};

// One position fix taken from a GGA sentence. Latitude and longitude are the
// NMEA numbers themselves (ddmm.mmmm, dddmm.mmmm) with a sign: south latitude
// and east longitude are negative, west longitude is positive.
struct GgaFix
{
    double latitude = 0;
    double longitude = 0;
    double altitude = 0;
    // The UTC time of the fix; absent when the time field is not a valid hhmmss.
    std::optional<TimeOfDay> utc;
    // What the sentence says of the fix, where it says it: the fix quality
    // (1 GPS, 2 DGPS, 4 RTK fixed, 5 RTK float...), satellites in use,
    // horizontal dilution of precision, and the geoid's height above the
    // WGS 84 ellipsoid (altitude + separation = ellipsoidal height).
    std::optional<int> quality;
    std::optional<int> satellites;
    std::optional<double> hdop;
    std::optional<double> geoidSeparation;

    friend bool operator==(const GgaFix &, const GgaFix &) = default;
};

enum class Checksum { Absent, Valid, Invalid };

// The "*hh" of a sentence that starts with its start character ('$' or '!'):
// two hex digits in either case, ending the line, equal to the XOR of every
// character between the start character and the '*'.
Checksum checkChecksum(std::string_view sentence);

// A complete decimal number: optional sign, digits, optionally a full stop
// followed by digits. No blanks, no exponent, no locale.
std::optional<double> parseDecimal(std::string_view text);

// A UTC time field: six digits hhmmss within a day, optionally followed by a
// fraction of a second (10 Hz receivers send "120000.10", others ".000"),
// kept to the nanosecond.
std::optional<TimeOfDay> parseTimeField(std::string_view field);

// '$' starts every sentence and appears nowhere inside one. Receivers that
// interleave binary frames with NMEA put the '$' right behind binary bytes,
// and a truncated sentence can run into the next one; in both cases the
// last '$' starts the only sentence that may be whole. Works on any string
// view (std::string_view, QStringView).
template<typename View>
View lastSentence(View line)
{
    for (auto i = line.size(); i > 0; --i) {
        if (line[i - 1] == u'$')
            return View(line.data() + i - 1, line.size() - i + 1);
    }
    return line;
}

// Whether a line's sentence is named as a GGA sentence: any talker, so the
// three characters before "GGA" and the one after it are not examined. No
// other line can be decoded.
template<typename View>
bool namesGga(View line)
{
    line = lastSentence(line);
    return line.size() >= 7 && line[3] == u'G' && line[4] == u'G' && line[5] == u'A';
}

// Decodes one received line as a GGA position fix, for example
//   $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
// Returns nothing for a line that is not GGA, whose checksum ("*hh", where
// present) is wrong, whose fix quality starts with '0' or is 6, 7 or 8, or
// whose position or altitude is missing or malformed. A position is refused
// beyond 90 degrees of latitude or 180 of longitude, or with 60 minutes or
// more.
std::optional<GgaFix> decodeGga(std::string_view line);

} // namespace quorvel::nmea
