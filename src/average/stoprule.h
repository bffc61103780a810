// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace quorvel {
struct SampleRing;
}

namespace quorvel::average {

// When logging may stop: after so many fixes, after so long, or once the
// mean is known to within so many metres (the horizontal 95 % radius).
struct StopRule
{
    enum class Kind { Fixes, Time, Uncertainty };
    Kind kind = Kind::Fixes;
    // Fixes, seconds or metres.
    double target = 0;
};

struct StopProgress
{
    bool met = false;
    // "120 of 300 fixes", "2 min 05 s of 10 min 00 s",
    // "Mean ±0.84 m (95 %); stop at ±0.50 m"
    QString text;
};

// How far the fixes in `ring`, logged for `elapsedSeconds`, are from meeting `rule`.
StopProgress stopProgress(const StopRule &rule, const SampleRing &ring, int elapsedSeconds);

} // namespace quorvel::average
