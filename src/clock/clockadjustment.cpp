// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clockadjustment.h"

namespace quorvel::clock {

namespace {

using std::chrono::days;
using std::chrono::microseconds;
using std::chrono::milliseconds;

constexpr microseconds Day = days(1);

microseconds wrapIntoDay(microseconds time)
{
    return (time % Day + Day) % Day;
}

// Local times here are plain counts from 1970-01-01 00:00 on the local
// calendar, never turned back into UTC through the zone: in the repeated
// hour that would pick one of the two 02:30s at random.
//
// The move that makes `pcLocal` show `timeOfDay` on yesterday's, today's or
// tomorrow's date, whichever is nearest.
microseconds nearestDayMove(microseconds pcLocal, microseconds timeOfDay)
{
    const microseconds midnight = std::chrono::floor<days>(pcLocal);
    microseconds best{};
    for (int day = -1; day <= 1; ++day) {
        const microseconds move = midnight + days(day) + wrapIntoDay(timeOfDay) - pcLocal;
        if (day == -1 || std::chrono::abs(move) < std::chrono::abs(best))
            best = move;
    }
    return best;
}

} // namespace

std::chrono::milliseconds clockAdjustment(const QDateTime &now, QTime timeOfDay)
{
    const milliseconds pcLocal(now.toMSecsSinceEpoch() + qint64(now.offsetFromUtc()) * 1000);
    const microseconds move = nearestDayMove(pcLocal, milliseconds(timeOfDay.msecsSinceStartOfDay()));
    return std::chrono::duration_cast<milliseconds>(move);
}

} // namespace quorvel::clock
