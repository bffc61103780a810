// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>

namespace quorvel {

// The logged position fixes: the latest RingSize samples, oldest replaced
// first. A sample is the NMEA latitude and longitude numbers (ddmm.mmmm,
// south and east negative) and the altitude as the receiver sent it.
struct SampleRing
{
    static constexpr std::int16_t RingSize = 5000;

    std::int16_t SampleIndex = 0; // ring slot that the next sample goes to
    std::int16_t SampleCount = 0; // valid samples, at slots 0 .. SampleCount - 1
    // One slot more than the ring holds; the last one is never used.
    std::array<double, RingSize + 1> LatSamples{};
    std::array<double, RingSize + 1> LonSamples{};
    std::array<double, RingSize + 1> ElevSamples{};

    // Stores one sample, replacing the oldest once the ring is full.
    void storeSample(double latitude, double longitude, double altitude);
    // Forgets every sample; the slots keep their values.
    void empty();
};

} // namespace quorvel
