// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>
#include <QTime>
#include <QTimeZone>

#include <chrono>

namespace quorvel::clock {

// How far to move the clock, now reading `now` (in its own time zone), so
// that it shows `timeOfDay`. The date is the one of yesterday, today or
// tomorrow that puts the new time nearest to `now`: within a day that is
// today, and a clock at 23:59:58 told 00:00:01 moves 3 seconds ahead into
// tomorrow rather than a day back. Computed from the instant of `now` and its
// zone's offset at that instant, so the hour that is repeated when summer
// time ends is the one `now` is in.
std::chrono::milliseconds clockAdjustment(const QDateTime &now, QTime timeOfDay);

} // namespace quorvel::clock
