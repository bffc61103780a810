// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <random>
#include <string>
#include <vector>

namespace nmeasim {

// "$" + body + "*hh": the checksum is the XOR of the body's characters.
std::string withChecksum(const std::string &body);

// A receiver standing still at one place: one epoch a second of GGA, GSA,
// RMC and GSV, with metre-level noise on the fix, and no fix for the first
// few seconds after power-up.
class SimulatedReceiver
{
public:
    explicit SimulatedReceiver(unsigned seed = 4800);

    // The sentences of the epoch at `secondsSinceMidnight` (UTC), CR LF ended.
    std::vector<std::string> epoch(long secondsSinceMidnight, int epochNumber);

private:
    std::mt19937 m_random;
    std::normal_distribution<double> m_metres{0.0, 1.5};
};

} // namespace nmeasim
