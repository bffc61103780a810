// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// An independent check of what the decoder may accept, written the plain way
// (split at commas, strtod), for the fuzz targets to hold the decoder to.

#include "nmea/gga.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::fuzz {

[[noreturn]] inline void fail(const char *what, std::string_view line)
{
    std::fprintf(stderr, "property broken: %s\nline: %.*s\n", what, int(line.size()), line.data());
    std::abort();
}

inline bool isCompleteDecimal(const std::string &field)
{
    std::size_t i = field.empty() ? 0 : (field[0] == '+' || field[0] == '-');
    const std::size_t digits = field.find_first_not_of("0123456789", i);
    if (digits == i)
        return false;
    if (digits == std::string::npos)
        return true;
    return field[digits] == '.' && digits + 1 < field.size()
        && field.find_first_not_of("0123456789", digits + 1) == std::string::npos;
}

// Whether a ddmm.mmmm (dddmm.mmmm) field names a place within `maxDegrees`:
// unsigned, the two digits before the point (the whole minutes) below 60,
// and the degrees before them at most `maxDegrees`, with no minutes there.
inline bool isPossiblePosition(const std::string &field, int maxDegrees)
{
    if (field.empty() || field[0] < '0' || field[0] > '9')
        return false;
    const std::size_t point = std::min(field.find('.'), field.size());
    const std::size_t minutesAt = point >= 2 ? point - 2 : 0;
    const double degrees = minutesAt > 0 ? std::strtod(field.substr(0, minutesAt).c_str(), nullptr) : 0;
    if (std::atoi(field.substr(minutesAt, point - minutesAt).c_str()) >= 60 || degrees > maxDegrees)
        return false;
    return degrees < maxDegrees || std::strtod(field.substr(minutesAt).c_str(), nullptr) == 0;
}

// Aborts unless `fix`, decoded from `line`, is one the decoder may give.
inline void checkAccepted(std::string_view line, const nmea::GgaFix &fix)
{
    const std::size_t dollar = line.rfind('$');
    const std::string sentence(dollar == std::string_view::npos ? line : line.substr(dollar));
    const std::size_t star = sentence.find('*');
    if (star != std::string::npos) {
        unsigned sum = 0;
        for (std::size_t i = 1; i < star; ++i)
            sum ^= static_cast<unsigned char>(sentence[i]);
        if (sentence.size() != star + 3
            || std::strtoul(sentence.substr(star + 1).c_str(), nullptr, 16) != sum)
            fail("accepted a sentence whose checksum does not match", line);
    }
    std::vector<std::string> fields;
    std::size_t start = 7;
    for (std::size_t comma; (comma = sentence.find(',', start)) < star;) {
        fields.push_back(sentence.substr(start, comma - start));
        start = comma + 1;
    }
    if (sentence.size() < 7 || sentence.compare(3, 3, "GGA") != 0 || fields.size() < 9)
        fail("accepted a line that is not a complete GGA", line);
    for (const int i : {1, 3, 8}) {
        if (!isCompleteDecimal(fields[i]))
            fail("accepted a field that is not a complete decimal number", line);
    }
    const double latitude = std::strtod(fields[1].c_str(), nullptr) * (fields[2] == "S" ? -1 : 1);
    const double longitude = std::strtod(fields[3].c_str(), nullptr) * (fields[4] == "E" ? -1 : 1);
    if (latitude != fix.latitude || longitude != fix.longitude
        || std::strtod(fields[8].c_str(), nullptr) != fix.altitude)
        fail("decoded values differ from the fields", line);
    if ((fields[2] != "N" && fields[2] != "S") || (fields[4] != "E" && fields[4] != "W"))
        fail("accepted an unknown hemisphere", line);
    if (!isPossiblePosition(fields[1], 90) || !isPossiblePosition(fields[3], 180))
        fail("accepted an impossible position", line);
    if ((!fields[5].empty() && fields[5][0] == '0') || fields[5] == "6" || fields[5] == "7"
        || fields[5] == "8")
        fail("accepted a line without a measured fix", line);
}

} // namespace quorvel::fuzz
