// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QString>

#include <chrono>

namespace quorvel::clock {

// The PC clock, and the system's network time synchronization that may hold
// it. Every request returns at once; the system may take its time (a
// password prompt), and a signal tells when the request has ended.
class SystemClock : public QObject
{
    Q_OBJECT

public:
    // Why the clock was not set.
    enum class Refusal {
        Other,
        // The user may not set the time.
        NotAllowed,
        // Network time synchronization is on and holds the clock, but the
        // system does not call the clock synchronized: turning it off
        // (setNtp(false)) lets GPS time be set.
        NetworkTimeOn,
        // Network time synchronization is on and has synchronized the clock,
        // which without a pulse-per-second line is better than GPS time
        // taken from sentences: leave it.
        NetworkTimeSynchronized,
        // The system is still carrying out an earlier request (turning network
        // time synchronization off) and did not finish it in time: asking
        // again in a moment may pass.
        Busy,
    };
    Q_ENUM(Refusal)

    using QObject::QObject;

    // Asks for the clock to move by `move`, ahead when positive. The move is
    // applied to the clock as it stands when the system acts, so the time a
    // password prompt takes does not matter. Exactly one of timeSet() and
    // refused() tells when the request has ended.
    virtual void setTime(std::chrono::microseconds move) = 0;

    // Asks for network time synchronization to be turned on or off. Exactly
    // one of ntpSet() and refused() tells when the request has ended; ntpSet()
    // comes once the system has finished the change, so that the clock may be
    // set right after it.
    virtual void setNtp(bool on) = 0;

    // Asks whether the system calls its clock synchronized (to network time);
    // synchronizedKnown() answers, false where the system cannot tell.
    virtual void checkSynchronized() = 0;

Q_SIGNALS:
    // The clock was set, moved by `movedMs` milliseconds.
    void timeSet(qint64 movedMs);
    // The clock was not set (nor network time changed); `message` says why
    // and what to do.
    void refused(const QString &message, quorvel::clock::SystemClock::Refusal reason = Refusal::Other);
    // Network time synchronization is now on or off.
    void ntpSet(bool on);
    void synchronizedKnown(bool synchronized);
};

} // namespace quorvel::clock
