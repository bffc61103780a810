// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "nmea/gga.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>

namespace quorvel {

// The logged position fixes: the latest RingSize samples, oldest replaced
// first. A sample is the NMEA latitude and longitude numbers (ddmm.mmmm,
// south and east negative) and the altitude as the receiver sent it.
// What a sentence says of its fix besides the position; -1 or NaN where it
// says nothing.
struct FixDetails
{
    // The UTC time of the fix, with the fraction of the second as sent.
    std::optional<nmea::TimeOfDay> utc;
    int quality = -1; // GGA fix quality
    int satellites = -1;
    double hdop = std::numeric_limits<double>::quiet_NaN();
    double geoidSeparation = std::numeric_limits<double>::quiet_NaN();
    // The first fix stored after logging was stopped and started again: the
    // time since the fix before it was a pause, not logging.
    bool afterPause = false;
};

struct SampleRing
{
    static constexpr std::int16_t RingSize = 5000;

    std::int16_t SampleIndex = 0; // ring slot that the next sample goes to
    std::int16_t SampleCount = 0; // valid samples, at slots 0 .. SampleCount - 1
    // One slot more than the ring holds; the last one is never used.
    std::array<double, RingSize + 1> LatSamples{};
    std::array<double, RingSize + 1> LonSamples{};
    std::array<double, RingSize + 1> ElevSamples{};
    std::array<FixDetails, RingSize + 1> DetailSamples{};
    // Every sample stored since start-up, never lowered: whether any came
    // since a look at the ring, across a full ring and its emptying.
    std::int64_t storedEver = 0;

    // Stores one sample, replacing the oldest once the ring is full.
    void storeSample(double latitude, double longitude, double altitude, const FixDetails &details = {});
    // Stores a decoded fix with what its sentence says of it.
    void storeFix(const nmea::GgaFix &fix);
    // The slot of the stored sample `age` places from the oldest (0) to the newest.
    int slotOf(int age) const { return SampleCount < RingSize ? age : (SampleIndex + age) % RingSize; }
    // Forgets every sample; the slots keep their values.
    void empty();
    // Logging starts (again): the next sample stored is marked as coming
    // after a pause, unless it is the first in the ring.
    void startLogging() { m_nextAfterPause = SampleCount > 0; }

private:
    bool m_nextAfterPause = false;
};

} // namespace quorvel
