// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Fuzzes the GGA decoder: any bytes as one line must be refused or decoded
// to what the fields say; and a well-formed sentence built from the same
// bytes must be accepted where its position is possible, with the values and
// the time it carries, and refused where not.

#include "oracle.h"

#include "nmea/sentencetime.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// Digits taken from the input, `count` of them.
std::string digits(const std::uint8_t *&data, std::size_t &size, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t byte = size > 0 ? (--size, *data++) : std::uint8_t(0);
        text += char('0' + byte % 10);
    }
    return text;
}

void checkWellFormed(const std::uint8_t *data, std::size_t size)
{
    const std::uint8_t flags = size > 0 ? (--size, *data++) : std::uint8_t(0);
    const std::string time = digits(data, size, 6);
    const std::string latitude = digits(data, size, 4) + '.' + digits(data, size, 1 + flags % 7);
    const std::string longitude = digits(data, size, 5) + '.' + digits(data, size, 1 + flags / 8 % 7);
    const std::string altitude
        = (flags & 64 ? "-" : "") + digits(data, size, 1 + flags % 4) + '.' + digits(data, size, 1);
    const char quality = char('1' + flags % 5); // 1 to 5: measured fixes
    std::string body = "GNGGA," + time + ',' + latitude + ',' + (flags & 1 ? 'S' : 'N') + ',' + longitude
        + ',' + (flags & 2 ? 'E' : 'W') + ',' + quality + ",08,0.9," + altitude + ",M,46.9,M,,";
    std::string line = '$' + body;
    if (flags & 128) {
        unsigned sum = 0;
        for (const char c : body)
            sum ^= static_cast<unsigned char>(c);
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", sum);
        line += '*';
        line += hex;
    }
    const std::optional<quorvel::nmea::GgaFix> fix = quorvel::nmea::decodeGga(line);
    const bool possible = quorvel::fuzz::isPossiblePosition(latitude, 90)
        && quorvel::fuzz::isPossiblePosition(longitude, 180);
    if (fix.has_value() != possible)
        quorvel::fuzz::fail(possible ? "refused a well-formed sentence" : "accepted an impossible position",
                            line);
    if (!fix)
        return;
    quorvel::fuzz::checkAccepted(line, *fix);
    const int hour = std::stoi(time.substr(0, 2)), minute = std::stoi(time.substr(2, 2)),
              second = std::stoi(time.substr(4, 2));
    const bool validTime = hour < 24 && minute < 60 && second < 60;
    if (fix->utc.has_value() != validTime
        || (validTime && !(*fix->utc == quorvel::nmea::TimeOfDay{hour, minute, second})))
        quorvel::fuzz::fail("the time differs from the field", line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char *>(data), size);
    if (const std::optional<quorvel::nmea::GgaFix> fix = quorvel::nmea::decodeGga(line))
        quorvel::fuzz::checkAccepted(line, *fix);
    // The time sentences share the field helpers; the sanitizers watch them.
    (void)quorvel::nmea::decodeTime(line);
    checkWellFormed(data, size);
    return 0;
}
