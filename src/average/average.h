// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>

namespace quorvel {
struct SampleRing;
}

namespace quorvel::average {

// A mean position in the form the window shows: whole degrees before the
// decimal point, minutes / 100 after it (48.0704 is 48 degrees 7.04 minutes),
// with south latitude and east longitude negative. Elevation is in the
// receiver's unit.
struct MeanPosition
{
    double latitude = 0;
    double longitude = 0;
    double elevation = 0;

    bool isFinite() const;
    friend bool operator==(const MeanPosition &, const MeanPosition &) = default;
};

// An NMEA ddmm.mmmm number as signed minutes of arc, and back.
double nmeaToMinutes(double nmea);
double minutesToDisplay(double minutes);
// `minutes` moved by whole turns to within half a turn of `reference`.
double wrapNear(double minutes, double reference);

// An averaging run: the sums it took (latitude and longitude in minutes of
// arc) and the mean they give.
struct Average
{
    double latSum = 0;
    double lonSum = 0;
    double elevSum = 0;
    MeanPosition mean;
    // The mean latitude, and longitude on the side of the 180th meridian of
    // the first sample, in minutes of arc (south and east negative).
    double latMinutes = 0;
    double lonMinutes = 0;
    // The mean geoid separation of the fixes that report one.
    std::optional<double> geoidSeparation;
};

// Averages the samples in the ring. Returns nothing for an empty ring.
std::optional<Average> averageSamples(const SampleRing &ring);

} // namespace quorvel::average
