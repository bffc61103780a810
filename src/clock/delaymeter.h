// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "link/bursttiming.h"
#include "nmea/gga.h"

#include <chrono>
#include <optional>
#include <vector>

namespace quorvel::clock {

// The receiver's delay, measured while the PC's clock is synchronized to
// network time: from each GPS second to the first byte of its burst, on the
// PC's clock. Single bursts are late when the PC was busy, so the median of
// a span counts: each span of at least Span with at least MinBursts bursts
// gives one figure.
class DelayMeter
{
public:
    static constexpr std::chrono::seconds Span{10};
    static constexpr std::size_t MinBursts = 10;
    // A receiver starts its burst within the second it reports; anything
    // else is not a burst of that second.
    static constexpr std::chrono::milliseconds MaxDelay{1000};

    // The burst of GPS second `gpsTime` (UTC, with its fraction) began at
    // `epoch`. Returns the median delay of the span it completes, if any.
    std::optional<std::chrono::milliseconds> add(const nmea::TimeOfDay &gpsTime, link::UtcTime epoch);
    // Starts over: another receiver, or the clock no longer synchronized.
    void clear();

private:
    std::vector<std::chrono::microseconds> m_delays;
    link::UtcTime m_first;
};

} // namespace quorvel::clock
