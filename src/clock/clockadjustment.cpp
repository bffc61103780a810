// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clockadjustment.h"

#include <cstdlib>

namespace quorvel::clock {

std::chrono::milliseconds clockAdjustment(const QDateTime &now, QTime timeOfDay)
{
    qint64 best = 0;
    bool first = true;
    for (int day = -1; day <= 1; ++day) {
        const QDateTime candidate(now.date().addDays(day), timeOfDay, now.timeZone());
        const qint64 difference = now.msecsTo(candidate);
        if (first || std::llabs(difference) < std::llabs(best))
            best = difference;
        first = false;
    }
    return std::chrono::milliseconds(best);
}

} // namespace quorvel::clock
