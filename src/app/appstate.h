// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>

namespace quorvel {

// The run-time state shared by the main window's handlers. The window
// inherits it, so the handlers use these fields directly.
struct AppState
{
    static constexpr std::int16_t RingSize = 5000;

    bool Logging = false; // each valid fix is stored in the ring
    bool SyncPending = false; // a clock sync was requested and not yet done
    double LatSum = 0; // accumulators of the last averaging run
    double LonSum = 0;
    std::int16_t SampleIndex = 0; // ring slot that the next sample goes to
    std::int16_t SampleCount = 0; // valid samples, at slots 0 .. SampleCount - 1
    // One slot more than the ring holds; the last one is never used.
    std::array<double, RingSize + 1> LatSamples{};
    std::array<double, RingSize + 1> LonSamples{};
    std::array<double, RingSize + 1> ElevSamples{};
    double ElevSum = 0;
    std::int16_t UtcOffsetHours = 0; // whole hours added to the GPS hour

    // Empties the ring and clears both flags; sums and samples keep their values.
    void resetForStartUp();

    // Stores one sample, replacing the oldest once the ring is full.
    void storeSample(double latitude, double longitude, double altitude);
};

} // namespace quorvel
