// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "average.h"

#include <optional>
#include <vector>

namespace quorvel {
struct SampleRing;
}

namespace quorvel::average {

// A fix's offset from the mean on a local plane, in metres.
struct LocalPoint
{
    double north = 0;
    double east = 0;
    double up = 0;
};

// How the stored fixes scatter around their mean, in metres.
struct Spread
{
    int count = 0;
    // Standard deviations of the fixes.
    double sdNorth = 0;
    double sdEast = 0;
    double sdUp = 0;
    // Radii around the mean holding half and 95 % of the fixes, measured.
    double cep50 = 0;
    double cep95 = 0;
    // The uncertainty (one standard deviation) of the mean itself. GPS
    // errors drift slowly, so one-second fixes are far from independent and
    // sigma / sqrt(N) would flatter the mean many times over. The fixes are
    // cut, in the order they came, into MeanBatches batches; the spread of
    // the batch means gives the uncertainty. Absent for fewer than
    // 2 * MeanBatches fixes.
    std::optional<double> meanHorizontal;
    std::optional<double> meanUp;
    // From the first fix to the last, by their UTC times, where both have one.
    std::optional<int> spanSeconds;
};

constexpr int MeanBatches = 10;

// The fixes as offsets from the mean, oldest first: north and east on the
// plane touching the WGS 84 ellipsoid at the mean, up as the altitudes differ.
std::vector<LocalPoint> localPoints(const SampleRing &ring, const Average &average);

// The spread of the fixes around `average`, their mean. Nothing for an empty ring.
std::optional<Spread> spreadOf(const SampleRing &ring, const Average &average);

} // namespace quorvel::average
