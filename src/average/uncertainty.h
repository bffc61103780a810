// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <vector>

namespace quorvel::average {

// A fix's offset from the mean on a local plane, in metres.
struct LocalPoint
{
    double north = 0;
    double east = 0;
    double up = 0;
};

// How well the fixes pin down their own mean, in metres. A figure is absent
// when the session is too short to tell: too short against the correlation
// its fixes show, or its fixes do not vary at all.
struct MeanUncertainty
{
    // The radius around the mean that holds the true position with 95 %
    // confidence, and the same up and down.
    std::optional<double> horizontal95;
    std::optional<double> vertical95;
    // The correlation time the fixes show, in seconds (the longest of the
    // three axes, never below MinimumCorrelationSeconds); infinite when the
    // correlation lasts as far as the session reaches.
    double correlationSeconds = 0;
};

// GPS errors are never taken to decorrelate faster than this.
constexpr double MinimumCorrelationSeconds = 30;
// A session gives figures only when it spans this many correlation times.
constexpr double SpanPerCorrelation = 16;

// The uncertainty of the mean of fixes taken at `seconds` (in the order they
// came, not decreasing) with these offsets from their mean.
MeanUncertainty meanUncertainty(const std::vector<double> &seconds, const std::vector<LocalPoint> &offsets);

} // namespace quorvel::average
