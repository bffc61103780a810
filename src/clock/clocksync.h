// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "nmea/gga.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

namespace quorvel::clock {

class SystemClock;

// The offset of the PC's own time zone now, in minutes, to the nearest
// quarter hour and within the offsets a UTC offset may take.
int systemUtcOffsetMinutes();

// A clock sync, from the press of the button to the system's answer:
// whether one waits for a fix, which fix completes it, that the clock is
// asked once, and what its answer means to the user. It shows nothing
// itself: the window asks it and shows what it says.
class ClockSync : public QObject
{
    Q_OBJECT

public:
    // `pending` is the window's own flag, which the port-open rule reads
    // too; only this object changes it after start-up.
    ClockSync(SystemClock &clock, bool &pending, QObject *parent = nullptr);

    // How long a sync waits for a fix before it is dropped rather than
    // setting the clock hours later; a waiting sync starts over with it.
    static constexpr std::chrono::minutes DefaultTimeout{3};
    void setTimeout(std::chrono::milliseconds timeout);

    // The clock has been asked and has not answered: no second request may
    // start, or the clock would be moved twice.
    bool busy() const { return m_busy; }
    // The time of day asked for, "hh:mm:ss".
    const QString &timeRequested() const { return m_timeRequested; }

    // Waits for the next fix; false while the clock is busy.
    bool request();
    // Stops waiting; the clock is not touched.
    void cancel();
    // A fix with a valid UTC time has arrived: while a sync waits, it is the
    // one that completes it, the time of day is taken from it and the offset
    // in force now, and the sync is no longer pending but busy. Returns
    // whether it completed a sync; setClock() then asks the system.
    bool takeFix(nmea::TimeOfDay utc, int offsetMinutes);
    void setClock();

Q_SIGNALS:
    // No fix came in time: the sync is no longer pending; `why` says so.
    void timedOut(const QString &why);
    // The system has answered: `status` says what was done, for the status
    // line; `refusal`, when the clock was not set, says why and what to do.
    void answered(const QString &status, const QString &refusal);

private:
    void onTimeSet(qint64 movedMs);
    void onRefused(const QString &message);

    SystemClock &m_clock;
    bool &m_pending;
    bool m_busy = false;
    QString m_timeRequested;
    int m_offsetRequested = 0;
    QTimer m_timeout;
};

} // namespace quorvel::clock
