// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ring/samplering.h"

namespace quorvel {

// The run-time state shared by the main window's handlers. The window
// inherits it, so the handlers use these fields directly.
struct AppState : SampleRing
{
    bool Logging = false; // each valid fix is stored in the ring
    bool SyncPending = false; // a clock sync was requested and not yet done
    bool Keeping = false; // the PC clock is kept on GPS time
    double LatSum = 0; // sums of the last averaging run, in minutes of arc
    double LonSum = 0;
    double ElevSum = 0;
    int UtcOffsetMinutes = 0; // added to GPS time when the clock is set

    // Empties the ring and clears both flags; sums and samples keep their values.
    void resetForStartUp()
    {
        empty();
        Logging = false;
        SyncPending = false;
    }
};

} // namespace quorvel
