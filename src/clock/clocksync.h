// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "clock/clockadjustment.h"
#include "link/bursttiming.h"
#include "nmea/sentencetime.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

namespace quorvel::clock {

class SystemClock;

// The offset of the PC's own time zone now, in minutes, to the nearest
// quarter hour and within the offsets a UTC offset may take.
int systemUtcOffsetMinutes();

// A clock sync, from the press of the button to the system's answer:
// whether one waits for a time sentence, which one completes it, that the
// clock is moved once, and what its answer means to the user. It shows
// nothing itself: the window asks it and shows what it says.
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
    // A ZDA sentence states the time with or without a fix: it counts only
    // this long after a sentence that stated a measured fix.
    static constexpr std::chrono::seconds ZdaNeedsFixWithin{2};

    // What the move is planned with: the receiver's delay from the UTC
    // second to its burst, and the earliest date a receiver may report.
    void setReceiverDelay(std::chrono::milliseconds delay) { m_receiverDelay = delay; }
    void setEarliestDate(const nmea::Date &date) { m_earliestDate = date; }

    // The clock has been asked and has not answered: no second request may
    // start, or the clock would be moved twice.
    bool busy() const { return m_busy; }
    // What the pending or last move starts from, and the local time of day
    // it sets ("14:30:05.000").
    const MoveRequest &moveRequest() const { return m_request; }
    QString timeRequested() const { return localTimeText(m_request); }

    // Waits for the next time sentence; false while the clock is busy.
    bool request();
    // Stops waiting; the clock is not touched.
    void cancel();

    // A sentence that states UTC (nmea::decodeTime), of the receiver's burst
    // `burst`. The first such sentence of each burst times it: timed() tells
    // when it began against GPS time. While a sync waits, that sentence
    // completes it: the move is planned from it, the offset in force now and
    // the PC zone's offset, and the sync is no longer pending but busy.
    // Returns whether it completed a sync; setClock() then asks the system.
    // A later sentence of the same burst with another time (a receiver that
    // never pauses) times nothing.
    bool takeTime(const nmea::SentenceTime &time, const link::BurstTiming::Burst &burst, int offsetMinutes);
    // Asks the system to move the clock, or first the user, through
    // moveToConfirm(), when the move is one to confirm (moveQuestion()).
    void setClock();
    // The answer to moveToConfirm(): move the clock, or leave it.
    void confirmMove(bool move);

    // The answer to networkTimeOn(): turn network time off and set the clock,
    // or leave both.
    void turnNetworkTimeOff(bool turnOff);

Q_SIGNALS:
    // No fix came in time: the sync is no longer pending; `why` says so.
    void timedOut(const QString &why);
    // A burst began at `epoch` on the PC's UTC clock for the GPS second
    // `gpsTime` (with its fraction).
    void timed(const nmea::TimeOfDay &gpsTime, link::UtcTime epoch);
    // The system refused because network time synchronization holds the
    // clock and has not synchronized it: the user is to be asked once
    // whether to turn it off (turnNetworkTimeOff()). `message` says why.
    void networkTimeOn(const QString &message);
    // The move planned is one the user is to confirm first (confirmMove());
    // `question` says why, with the time before and after.
    void moveToConfirm(const QString &question);
    // The system has answered: `status` says what was done in two short
    // lines, for the status line, and `details` the whole of it where the
    // lines leave something out; `refusal`, when the clock was not set, says
    // why and what to do.
    void answered(const QString &status, const QString &details, const QString &refusal);

private:
    void onTimeSet();
    void onRefused(const QString &message, int reason);
    void onNtpSet(bool on);

    SystemClock &m_clock;
    bool &m_pending;
    bool m_busy = false;
    bool m_confirming = false; // the move waits for the user's answer
    bool m_askedNetworkTime = false; // for this move
    bool m_networkTimeTurnedOff = false; // for this move
    QString m_networkTimeMessage;
    std::chrono::milliseconds m_receiverDelay{0};
    nmea::Date m_earliestDate;
    MoveRequest m_request;
    ClockMove m_move;
    std::optional<link::UtcTime> m_lastFix; // the burst of the last sentence that stated a fix
    std::optional<qint64> m_burst; // the burst timed last, by its first byte
    nmea::TimeOfDay m_burstTime; // and the time that timed it
    QTimer m_timeout;
};

} // namespace quorvel::clock
