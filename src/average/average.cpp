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

// Neumaier's compensated sum: the rounding error of each addition is kept
// and added back at the end, so that 5,000 equal values sum to exactly 5,000
// times the value and their mean is the value itself.
class CompensatedSum
{
public:
    void add(double value)
    {
        const double sum = m_sum + value;
        if (std::fabs(m_sum) >= std::fabs(value))
            m_compensation += (m_sum - sum) + value;
        else
            m_compensation += (value - sum) + m_sum;
        m_sum = sum;
    }
    double value() const { return m_sum + m_compensation; }

private:
    double m_sum = 0;
    double m_compensation = 0;
};

} // namespace

double wrapNear(double minutes, double reference)
{
    if (minutes - reference > HalfTurn)
        return minutes - FullTurn;
    if (minutes - reference < -HalfTurn)
        return minutes + FullTurn;
    return minutes;
}

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
    CompensatedSum lat, lon, elev, geoid;
    int geoidCount = 0;
    for (int i = 0; i < count; ++i) {
        lat.add(nmeaToMinutes(ring.LatSamples[i]));
        lon.add(wrapNear(nmeaToMinutes(ring.LonSamples[i]), lonReference));
        elev.add(ring.ElevSamples[i]);
        if (const double separation = ring.DetailSamples[i].geoidSeparation; std::isfinite(separation)) {
            geoid.add(separation);
            ++geoidCount;
        }
    }
    Average result;
    result.latSum = lat.value();
    result.lonSum = lon.value();
    result.elevSum = elev.value();
    result.latMinutes = result.latSum / count;
    result.lonMinutes = result.lonSum / count;
    result.mean = {minutesToDisplay(result.latMinutes), minutesToDisplay(wrapNear(result.lonMinutes, 0)),
                   result.elevSum / count};
    if (geoidCount > 0)
        result.geoidSeparation = geoid.value() / geoidCount;
    return result;
}

} // namespace quorvel::average
