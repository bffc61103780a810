// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "appstate.h"

namespace quorvel {

void AppState::resetForStartUp()
{
    SampleIndex = 0;
    SampleCount = 0;
    Logging = false;
    SyncPending = false;
}

void AppState::storeSample(double latitude, double longitude, double altitude)
{
    LatSamples[SampleIndex] = latitude;
    LonSamples[SampleIndex] = longitude;
    ElevSamples[SampleIndex] = altitude;
    if (++SampleIndex >= RingSize)
        SampleIndex = 0;
    if (SampleCount < RingSize)
        ++SampleCount;
}

} // namespace quorvel
