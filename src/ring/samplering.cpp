// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "samplering.h"

namespace quorvel {

void SampleRing::storeSample(double latitude, double longitude, double altitude, const FixDetails &details)
{
    DetailSamples[SampleIndex] = details;
    DetailSamples[SampleIndex].afterPause = details.afterPause || m_nextAfterPause;
    m_nextAfterPause = false;
    LatSamples[SampleIndex] = latitude;
    LonSamples[SampleIndex] = longitude;
    ElevSamples[SampleIndex] = altitude;
    if (++SampleIndex >= RingSize)
        SampleIndex = 0;
    if (SampleCount < RingSize)
        ++SampleCount;
    ++storedEver;
}

void SampleRing::storeFix(const nmea::GgaFix &fix)
{
    FixDetails details;
    details.utc = fix.utc;
    details.quality = fix.quality.value_or(-1);
    details.satellites = fix.satellites.value_or(-1);
    details.hdop = fix.hdop.value_or(details.hdop);
    details.geoidSeparation = fix.geoidSeparation.value_or(details.geoidSeparation);
    storeSample(fix.latitude, fix.longitude, fix.altitude, details);
}

void SampleRing::empty()
{
    SampleIndex = 0;
    SampleCount = 0;
    m_nextAfterPause = false;
}

} // namespace quorvel
