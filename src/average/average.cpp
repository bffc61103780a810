// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "average.h"

#include "app/appstate.h"

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

std::optional<MeanPosition> averageSamples(AppState &state)
{
    const int count = state.SampleCount;
    if (count == 0)
        return std::nullopt;

    // The raw ddmm.mmmm numbers cannot be averaged across a whole degree
    // (4759.999 and 4800.001 would give 47 degrees 80 minutes), so positions
    // are summed as minutes of arc. Longitudes are taken on the side of the
    // 180th meridian where the first sample lies, so that points on both
    // sides of it average near it rather than near Greenwich.
    const double lonReference = nmeaToMinutes(state.LonSamples[0]);
    state.LatSum = 0;
    state.LonSum = 0;
    state.ElevSum = 0;
    for (int i = 0; i < count; ++i) {
        state.LatSum += nmeaToMinutes(state.LatSamples[i]);
        state.LonSum += wrapNear(nmeaToMinutes(state.LonSamples[i]), lonReference);
        state.ElevSum += state.ElevSamples[i];
    }

    return MeanPosition{minutesToDisplay(state.LatSum / count),
                        minutesToDisplay(wrapNear(state.LonSum / count, 0)), state.ElevSum / count};
}

} // namespace quorvel::average
