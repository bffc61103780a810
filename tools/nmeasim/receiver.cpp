// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "receiver.h"

#include <cmath>
#include <cstdio>

namespace nmeasim {

namespace {

// A survey mark near Munich: 48 degrees 7.038 minutes north, 11 degrees
// 31.000 minutes east, 545.4 m above the geoid.
constexpr double BaseLatitudeDeg = 48 + 7.038 / 60;
constexpr double BaseLongitudeDeg = 11 + 31.000 / 60;
constexpr double BaseAltitude = 545.4;
constexpr double MetresPerDegreeLat = 111'320;
constexpr int EpochsWithoutFix = 3;

std::string format(const char *pattern, auto... values)
{
    char text[160];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

} // namespace

std::string nmeaAngle(double degrees, int degreeDigits, char positive, char negative)
{
    const char hemisphere = degrees < 0 ? negative : positive;
    // Rounded to the 0.0001 minute that is written before it is split into
    // degrees and minutes: 59.99996 minutes are the next whole degree, not
    // "60.0000".
    const long long tenThousandths = std::llround(std::fabs(degrees) * 60 * 10'000);
    const long long whole = tenThousandths / (60 * 10'000);
    const long long minutes = tenThousandths % (60 * 10'000);
    return format("%0*lld%02lld.%04lld,%c", degreeDigits, whole, minutes / 10'000, minutes % 10'000,
                  hemisphere);
}

std::chrono::sys_seconds nextBurst(std::chrono::system_clock::time_point now, std::chrono::milliseconds delay)
{
    return std::chrono::ceil<std::chrono::seconds>(now - delay);
}

std::chrono::sys_time<std::chrono::milliseconds> nextEpoch(std::chrono::system_clock::time_point now,
                                                           std::chrono::milliseconds delay, int perSecond)
{
    const std::chrono::milliseconds period(1000 / perSecond);
    const auto since = std::chrono::ceil<std::chrono::milliseconds>(now - delay).time_since_epoch();
    return std::chrono::sys_time<std::chrono::milliseconds>((since + period - std::chrono::milliseconds(1))
                                                            / period * period);
}

std::string withChecksum(const std::string &body)
{
    unsigned char sum = 0;
    for (const char c : body)
        sum ^= static_cast<unsigned char>(c);
    return format("$%s*%02X\r\n", body.c_str(), sum);
}

SimulatedReceiver::SimulatedReceiver(unsigned seed)
    : m_random(seed)
{
}

std::vector<std::string> SimulatedReceiver::epoch(std::chrono::sys_time<std::chrono::milliseconds> at,
                                                  int epochNumber)
{
    const auto day = std::chrono::floor<std::chrono::days>(at);
    const std::chrono::hh_mm_ss clock(at - day);
    const std::string time
        = format("%02d%02d%02d.%02d", int(clock.hours().count()), int(clock.minutes().count()),
                 int(clock.seconds().count()), int(clock.subseconds().count() / 10));
    const std::chrono::year_month_day date(day);
    const std::string ddmmyy
        = format("%02u%02u%02d", unsigned(date.day()), unsigned(date.month()), int(date.year()) % 100);
    const bool fix = epochNumber >= EpochsWithoutFix;

    const double latitude = BaseLatitudeDeg + m_metres(m_random) / MetresPerDegreeLat;
    const double longitude = BaseLongitudeDeg
        + m_metres(m_random) / (MetresPerDegreeLat * std::cos(BaseLatitudeDeg * M_PI / 180));
    const double altitude = BaseAltitude + 2 * m_metres(m_random);

    std::vector<std::string> sentences;
    if (fix) {
        sentences.push_back(withChecksum(format("GPGGA,%s,%s,%s,1,08,0.9,%.1f,M,46.9,M,,", time.c_str(),
                                                nmeaAngle(latitude, 2, 'N', 'S').c_str(),
                                                nmeaAngle(longitude, 3, 'E', 'W').c_str(), altitude)));
        sentences.push_back(withChecksum("GPGSA,A,3,04,05,09,12,17,24,25,29,,,,,1.8,0.9,1.5"));
        sentences.push_back(withChecksum(format("GPRMC,%s,A,%s,%s,0.0,0.0,%s,,,A", time.c_str(),
                                                nmeaAngle(latitude, 2, 'N', 'S').c_str(),
                                                nmeaAngle(longitude, 3, 'E', 'W').c_str(), ddmmyy.c_str())));
    } else {
        sentences.push_back(withChecksum(format("GPGGA,%s,,,,,0,00,99.9,,M,,M,,", time.c_str())));
        sentences.push_back(withChecksum("GPGSA,A,1,,,,,,,,,,,,,99.9,99.9,99.9"));
        sentences.push_back(withChecksum(format("GPRMC,%s,V,,,,,,,%s,,,N", time.c_str(), ddmmyy.c_str())));
    }
    sentences.push_back(withChecksum("GPGSV,2,1,08,04,62,131,45,05,35,277,41,09,18,043,38,12,71,310,47"));
    sentences.push_back(withChecksum("GPGSV,2,2,08,17,22,199,36,24,44,081,43,25,09,321,30,29,55,236,44"));
    return sentences;
}

} // namespace nmeasim
