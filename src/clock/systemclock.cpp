// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "systemclock.h"

#include "clockadjustment.h"

namespace quorvel::clock {

void SystemClock::setTimeOfDay(const QString &timeString)
{
    const QTime target = QTime::fromString(timeString, QStringLiteral("hh:mm:ss"));
    if (!target.isValid()) {
        Q_EMIT refused(tr("The PC clock was not set: \"%1\" is not a time of day.").arg(timeString));
        return;
    }
    setTime(clockAdjustment(QDateTime::currentDateTime(), target));
}

} // namespace quorvel::clock
