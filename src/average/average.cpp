// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "average.h"

#include "ring/samplering.h"

#include <cmath>

namespace quorvel::average {

namespace {

constexpr double MinutesPerDegree = 60;
constexpr double HalfTurn = 180 * MinutesPerDegree;
constexpr double FullTurn = 360 * MinutesPerDegree;

// `minutes` moved by whole turns to within half a turn of `reference`.
double wrapNear(double minutes, double reference)
{
    if (minutes - reference > HalfTurn)
        return minutes - FullTurn;
    if (minutes - reference < -HalfTurn)
        return minutes + FullTurn;
    return minutes;
}

} // namespace

bool MeanPosition::isFinite() const
{
    return std::isfinite(latitude) && std::isfinite(longitude) && std::isfinite(elevation);
}

double nmeaToMinutes(double nmea)
{
    const double magnitude = std::fabs(nmea);
    const double degrees = std::trunc(magnitude / 100);
    return std::copysign(degrees * MinutesPerDegree + (magnitude - degrees * 100), nmea);
}

double minutesToDisplay(double minutes)
{
    const double magnitude = std::fabs(minutes);
    const double degrees = std::trunc(magnitude / MinutesPerDegree);
    return std::copysign(degrees + (magnitude - degrees * MinutesPerDegree) / 100, minutes);
}

std::optional<Average> averageSamples(const SampleRing &ring)
{
    const int count = ring.SampleCount;
    if (count == 0)
        return std::nullopt;

    // The raw ddmm.mmmm numbers cannot be averaged across a whole degree
    // (4759.999 and 4800.001 would give 47 degrees 80 minutes), so positions
    // are summed as minutes of arc. Longitudes are taken on the side of the
    // 180th meridian where the first sample lies, so that points on both
    // sides of it average near it rather than near Greenwich.
    const double lonReference = nmeaToMinutes(ring.LonSamples[0]);
    Average result;
    for (int i = 0; i < count; ++i) {
        result.latSum += nmeaToMinutes(ring.LatSamples[i]);
        result.lonSum += wrapNear(nmeaToMinutes(ring.LonSamples[i]), lonReference);
        result.elevSum += ring.ElevSamples[i];
    }
    result.mean = {minutesToDisplay(result.latSum / count),
                   minutesToDisplay(wrapNear(result.lonSum / count, 0)), result.elevSum / count};
    return result;
}

} // namespace quorvel::average
