// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "average.h"
#include "uncertainty.h"

#include <optional>
#include <vector>

namespace quorvel {
struct SampleRing;
}

namespace quorvel::average {

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
    // The uncertainty of the mean itself, allowing for the correlation of
    // the fixes over time (see uncertainty.h); its figures are absent when
    // the session is too short to tell.
    MeanUncertainty mean;
    // The time spent logging, by the fixes' UTC times, in whole seconds
    // (rounded): the forward steps between successive fixes added up,
    // pauses in logging left out; where a fix has no time, from the first's
    // time to the last's within each stretch of logging, where both have one.
    std::optional<int> spanSeconds;
};

// The fixes as offsets from the mean, oldest first: north and east on the
// plane touching the WGS 84 ellipsoid at the mean, up as the altitudes differ.
std::vector<LocalPoint> localPoints(const SampleRing &ring, const Average &average);

// The fixes' times in seconds from the first, with the fractions of the
// second the receiver sent, oldest first, across midnight and pauses; a
// time that steps back counts as no step. Nothing when a fix has no time.
std::optional<std::vector<double>> fixSeconds(const SampleRing &ring);

// Where logging was paused and started again: the indices, oldest first,
// of the fixes that came first after a pause.
std::vector<int> pauseEnds(const SampleRing &ring);

// The spread of the fixes around their mean, given as `points`, the fixes'
// offsets from it (localPoints()). Nothing for an empty ring.
std::optional<Spread> spreadOf(const SampleRing &ring, const std::vector<LocalPoint> &points);
// The spread of the fixes around `average`, their mean.
std::optional<Spread> spreadOf(const SampleRing &ring, const Average &average);

// The stored fixes as one look takes them: their mean, each fix's offset
// from it, oldest first, and their spread.
struct Scatter
{
    Average mean;
    std::vector<LocalPoint> points;
    Spread spread;
};

// Nothing when no fix is stored or their mean is no finite position.
std::optional<Scatter> scatterOf(const SampleRing &ring);

} // namespace quorvel::average
