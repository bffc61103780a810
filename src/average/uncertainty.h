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
    // The time spent logging, pauses left out, in seconds.
    double loggedSeconds = 0;
};

// GPS errors are never taken to decorrelate faster than this.
constexpr double MinimumCorrelationSeconds = 30;
// A session gives figures only when its logging time spans this many
// correlation times.
constexpr double SpanPerCorrelation = 8;

// The uncertainty of the mean of fixes taken at `seconds` (in the order they
// came, not decreasing, pauses counted as the time they lasted) with these
// offsets from their mean. `blockStarts` are the indices of the fixes that
// came first after logging was paused and started again: the time before
// each is a pause, not logging.
MeanUncertainty meanUncertainty(const std::vector<double> &seconds, const std::vector<LocalPoint> &offsets,
                                const std::vector<int> &blockStarts = {});

} // namespace quorvel::average
