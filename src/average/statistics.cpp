// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "statistics.h"

#include "ring/samplering.h"

#include <GeographicLib/LocalCartesian.hpp>

#include <algorithm>
#include <cmath>

namespace quorvel::average {

namespace {

constexpr double Day = 86400; // seconds

// The fix's UTC time in seconds of the day, with the fraction of the second.
std::optional<double> secondOfDay(const FixDetails &details)
{
    if (!details.utc)
        return std::nullopt;
    const nmea::TimeOfDay &utc = *details.utc;
    return utc.hour * 3600 + utc.minute * 60 + utc.second + utc.nanosecond * 1e-9;
}

// From one time of day forward to another, across midnight too.
double forward(double from, double to)
{
    return std::fmod(to - from + Day, Day);
}

double standardDeviation(const std::vector<double> &values)
{
    if (values.size() < 2)
        return 0;
    double mean = 0;
    for (const double v : values)
        mean += v;
    mean /= double(values.size());
    double squares = 0;
    for (const double v : values)
        squares += (v - mean) * (v - mean);
    return std::sqrt(squares / double(values.size() - 1));
}

// The p-quantile of sorted values, interpolating between neighbours.
double quantile(const std::vector<double> &sorted, double p)
{
    const double at = p * double(sorted.size() - 1);
    const auto below = std::size_t(std::floor(at));
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (at - double(below)) * (sorted[above] - sorted[below]);
}

} // namespace

std::vector<LocalPoint> localPoints(const SampleRing &ring, const Average &average)
{
    // Degrees, north and east positive; NMEA longitudes are west-positive.
    constexpr double MinutesPerDegree = 60;
    const GeographicLib::LocalCartesian plane(average.latMinutes / MinutesPerDegree,
                                              -average.lonMinutes / MinutesPerDegree, average.mean.elevation);
    std::vector<LocalPoint> points;
    points.reserve(std::size_t(ring.SampleCount));
    for (int age = 0; age < ring.SampleCount; ++age) {
        const int slot = ring.slotOf(age);
        double east = 0, north = 0, up = 0;
        plane.Forward(nmeaToMinutes(ring.LatSamples[slot]) / MinutesPerDegree,
                      -nmeaToMinutes(ring.LonSamples[slot]) / MinutesPerDegree, ring.ElevSamples[slot], east,
                      north, up);
        points.push_back({north, east, ring.ElevSamples[slot] - average.mean.elevation});
    }
    return points;
}

std::optional<std::vector<double>> fixSeconds(const SampleRing &ring)
{
    std::vector<double> seconds;
    seconds.reserve(std::size_t(ring.SampleCount));
    std::optional<double> previous;
    for (int age = 0; age < ring.SampleCount; ++age) {
        const std::optional<double> second = secondOfDay(ring.DetailSamples[ring.slotOf(age)]);
        if (!second)
            return std::nullopt;
        if (age == 0) {
            seconds.push_back(0);
        } else {
            // A step forward of more than half a day is a step back.
            const double step = forward(*previous, *second);
            seconds.push_back(seconds.back() + (step > Day / 2 ? 0 : step));
        }
        previous = second;
    }
    return seconds;
}

std::vector<int> pauseEnds(const SampleRing &ring)
{
    std::vector<int> ends;
    for (int age = 1; age < ring.SampleCount; ++age) {
        if (ring.DetailSamples[ring.slotOf(age)].afterPause)
            ends.push_back(age);
    }
    return ends;
}

std::optional<Spread> spreadOf(const SampleRing &ring, const std::vector<LocalPoint> &points)
{
    if (ring.SampleCount == 0)
        return std::nullopt;
    std::vector<double> north, east, up, radii;
    for (const LocalPoint &p : points) {
        north.push_back(p.north);
        east.push_back(p.east);
        up.push_back(p.up);
        radii.push_back(std::hypot(p.north, p.east));
    }
    std::sort(radii.begin(), radii.end());

    Spread spread;
    spread.count = ring.SampleCount;
    spread.sdNorth = standardDeviation(north);
    spread.sdEast = standardDeviation(east);
    spread.sdUp = standardDeviation(up);
    spread.cep50 = quantile(radii, 0.5);
    spread.cep95 = quantile(radii, 0.95);
    // Each stretch of logging, from the first fix to the last; not the pauses.
    const std::vector<int> pauses = pauseEnds(ring);
    std::vector<std::pair<int, int>> stretches;
    for (std::size_t k = 0; k <= pauses.size(); ++k)
        stretches.emplace_back(k ? pauses[k - 1] : 0, (k < pauses.size() ? pauses[k] : ring.SampleCount) - 1);
    std::optional<std::vector<double>> seconds = fixSeconds(ring);
    if (seconds) {
        double logged = 0;
        for (const auto &[first, last] : stretches)
            logged += (*seconds)[std::size_t(last)] - (*seconds)[std::size_t(first)];
        spread.spanSeconds = int(std::lround(logged));
    } else {
        // Unknown where a stretch lacks the time of its first or last fix.
        double logged = 0;
        bool known = true;
        for (const auto &[first, last] : stretches) {
            const std::optional<double> from = secondOfDay(ring.DetailSamples[ring.slotOf(first)]);
            const std::optional<double> to = secondOfDay(ring.DetailSamples[ring.slotOf(last)]);
            known = known && from && to;
            logged += known ? forward(*from, *to) : 0;
        }
        if (known)
            spread.spanSeconds = int(std::lround(logged));
        // Without times, the fixes are taken as one a second, pauses too.
        seconds.emplace();
        for (int i = 0; i < ring.SampleCount; ++i)
            seconds->push_back(i);
    }
    spread.mean = meanUncertainty(*seconds, points, pauses);
    return spread;
}

std::optional<Spread> spreadOf(const SampleRing &ring, const Average &average)
{
    return spreadOf(ring, localPoints(ring, average));
}

std::optional<Scatter> scatterOf(const SampleRing &ring)
{
    const std::optional<Average> mean = averageSamples(ring);
    if (!mean || !mean->mean.isFinite())
        return std::nullopt;
    Scatter scatter{*mean, localPoints(ring, *mean), {}};
    scatter.spread = *spreadOf(ring, scatter.points);
    return scatter;
}

} // namespace quorvel::average
