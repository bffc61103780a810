// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "samplering.h"

namespace quorvel {

void SampleRing::storeSample(double latitude, double longitude, double altitude)
{
    LatSamples[SampleIndex] = latitude;
    LonSamples[SampleIndex] = longitude;
    ElevSamples[SampleIndex] = altitude;
    if (++SampleIndex >= RingSize)
        SampleIndex = 0;
    if (SampleCount < RingSize)
        ++SampleCount;
}

void SampleRing::empty()
{
    SampleIndex = 0;
    SampleCount = 0;
}

} // namespace quorvel
