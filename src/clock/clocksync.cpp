// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clocksync.h"

#include "clock/systemclock.h"
#include "clock/timestring.h"
#include "settings/utcoffset.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quorvel::clock {

int systemUtcOffsetMinutes()
{
    constexpr int Quarter = 15;
    const int minutes = QDateTime::currentDateTime().offsetFromUtc() / 60;
    const int quarters = (minutes + (minutes < 0 ? -Quarter / 2 : Quarter / 2)) / Quarter;
    return std::clamp(quarters * Quarter, settings::MinUtcOffsetMinutes, settings::MaxUtcOffsetMinutes);
}

ClockSync::ClockSync(SystemClock &clock, bool &pending, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_pending(pending)
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(DefaultTimeout);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        if (!m_pending)
            return;
        m_pending = false;
        const int minutes = std::max(1, int(std::lround(m_timeout.interval() / 60000.0)));
        Q_EMIT timedOut(tr("No fix came within %n minute(s): the PC clock was not set.", nullptr, minutes));
    });
    connect(&m_clock, &SystemClock::timeSet, this, &ClockSync::onTimeSet);
    connect(&m_clock, &SystemClock::refused, this, &ClockSync::onRefused);
}

void ClockSync::setTimeout(std::chrono::milliseconds timeout)
{
    m_timeout.setInterval(timeout);
}

bool ClockSync::request()
{
    if (m_busy)
        return false;
    m_pending = true;
    m_timeout.start();
    return true;
}

void ClockSync::cancel()
{
    m_pending = false;
    m_timeout.stop();
}

bool ClockSync::takeFix(nmea::TimeOfDay utc, int offsetMinutes)
{
    if (!m_pending)
        return false;
    cancel();
    m_busy = true;
    m_timeRequested = QString::fromStdString(localTimeString(utc, offsetMinutes));
    m_offsetRequested = offsetMinutes;
    return true;
}

void ClockSync::setClock()
{
    m_clock.setTimeOfDay(m_timeRequested);
}

void ClockSync::onTimeSet(qint64 movedMs)
{
    m_busy = false;
    QString status
        = tr("Clock set to %1 (%2), moved %3%4 s.")
              .arg(m_timeRequested, QString::fromStdString(settings::utcOffsetLabel(m_offsetRequested)),
                   movedMs < 0 ? QStringLiteral("-") : QStringLiteral("+"))
              .arg(QLocale().toString(double(std::abs(movedMs)) / 1000, 'f', 1));
    // An offset that disagrees with the PC's own zone has put the PC's UTC
    // clock off by the difference.
    if (const int system = systemUtcOffsetMinutes(); system != m_offsetRequested)
        status += QLatin1Char('\n')
            + tr("The PC's time zone is %1.").arg(QString::fromStdString(settings::utcOffsetLabel(system)));
    Q_EMIT answered(status, QString());
}

void ClockSync::onRefused(const QString &message)
{
    m_busy = false;
    Q_EMIT answered(tr("The PC clock was not set."), message);
}

} // namespace quorvel::clock
