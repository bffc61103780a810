// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "delaymeter.h"

#include <algorithm>

namespace quorvel::clock {

using std::chrono::microseconds;

std::optional<std::chrono::milliseconds> DelayMeter::add(const nmea::TimeOfDay &gpsTime, link::UtcTime epoch)
{
    constexpr microseconds Day = std::chrono::days(1);
    const microseconds second = std::chrono::hours(gpsTime.hour) + std::chrono::minutes(gpsTime.minute)
        + std::chrono::seconds(gpsTime.second)
        + std::chrono::duration_cast<microseconds>(std::chrono::nanoseconds(gpsTime.nanosecond));
    const microseconds sinceMidnight = epoch - std::chrono::floor<std::chrono::days>(epoch);
    // Into -12 h .. +12 h: the burst may come after midnight, its second before.
    microseconds delay = ((sinceMidnight - second) % Day + Day) % Day;
    if (delay > Day / 2)
        delay -= Day;
    if (delay < microseconds(0) || delay >= MaxDelay)
        return std::nullopt;
    if (m_delays.empty())
        m_first = epoch;
    m_delays.push_back(delay);
    if (epoch - m_first < Span || m_delays.size() < MinBursts)
        return std::nullopt;
    const auto middle = m_delays.begin() + std::ptrdiff_t(m_delays.size() / 2);
    std::nth_element(m_delays.begin(), middle, m_delays.end());
    const auto median = std::chrono::round<std::chrono::milliseconds>(*middle);
    clear();
    return median;
}

void DelayMeter::clear()
{
    m_delays.clear();
}

} // namespace quorvel::clock
