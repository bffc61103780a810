// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "statistics.h"

#include <QString>

#include <optional>

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
    // The whole of it: "120 of 300 fixes", "2 min 05 s of 10 min 00 s",
    // "now ±0.84 m (95 %)", "too short to tell how good the mean is yet".
    QString text;
    // One short line for the status line while logging ("Stop rule: 120 of
    // 300 fixes.", "Stop at ±0.50 m: mean ±0.84 m."), and once the rule has
    // stopped logging ("Stopped by its rule: after 300 fixes.").
    QString line;
    QString stoppedLine;
    // What a rule on the mean measured, for others to use; nothing for the
    // other rules.
    std::optional<Scatter> scatter;
};

// The rule as the settings keep it: "fixes 600", "time 900" (seconds),
// "mean 0.50" (metres); and back. Nothing for text that is no rule, a
// target that is not positive (fixes and seconds whole, metres to the
// centimetre), or more fixes than the ring holds.
QString stopRuleSetting(const StopRule &rule);
std::optional<StopRule> parseStopRule(const QString &setting);
// "after 600 fixes", "after 15 min 00 s", "when the mean is known to ±0.50 m
// (95 %)", with `separator` before a fraction.
QString stopRuleDescription(const StopRule &rule, QStringView separator = u".");

// How far the fixes in `ring`, logged for `elapsedSeconds`, are from meeting `rule`.
StopProgress stopProgress(const StopRule &rule, const SampleRing &ring, int elapsedSeconds,
                          QStringView separator = u".");

} // namespace quorvel::average
