// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace nmeasim {

// "$" + body + "*hh": the checksum is the XOR of the body's characters.
std::string withChecksum(const std::string &body);

// An angle in degrees as NMEA writes it, ddmm.mmmm (or dddmm.mmmm with three
// degree digits), and its hemisphere letter: "4807.0380,N".
std::string nmeaAngle(double degrees, int degreeDigits, char positive, char negative);

// The next burst of a receiver that starts each one `delay` after a whole
// second of UTC: the second it reports, at or after `now` - `delay`. It is
// sent at that second plus `delay`.
std::chrono::sys_seconds nextBurst(std::chrono::system_clock::time_point now,
                                   std::chrono::milliseconds delay);
// The same for a receiver with `perSecond` epochs a second (1 to 10): the
// epoch it reports, on the grid of 1/perSecond s.
std::chrono::sys_time<std::chrono::milliseconds> nextEpoch(std::chrono::system_clock::time_point now,
                                                           std::chrono::milliseconds delay, int perSecond);

// A receiver standing still at one place: one epoch a second of GGA, GSA,
// RMC and GSV, with metre-level noise on the fix, and no fix for the first
// few seconds after power-up.
class SimulatedReceiver
{
public:
    explicit SimulatedReceiver(unsigned seed = 4800);

    // The sentences of the epoch at `at` (UTC, with the fraction of the
    // second in hundredths), CR LF ended.
    std::vector<std::string> epoch(std::chrono::sys_time<std::chrono::milliseconds> at, int epochNumber);

private:
    std::mt19937 m_random;
    std::normal_distribution<double> m_metres{0.0, 1.5};
};

} // namespace nmeasim
