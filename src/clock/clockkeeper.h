// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "clock/clockoffset.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

namespace quorvel::clock {

class SystemClock;

// Keeps the PC's clock on GPS time: when the live offset (ClockOffset's
// median, never a single burst) passes the bound, the clock is moved back by
// it with one relative setting, at most once a minute, and never while
// network time synchronization holds the clock synchronized. Network time
// that is on but has not synchronized the clock (a laptop in the field) is
// turned off only when the user says so, once. Any other refusal stops
// keeping rather than asking again every minute. It shows nothing itself:
// the window shows what it says and asks what it asks.
class ClockKeeper : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds DefaultWithin{50};
    // Closer than a few bursts' scatter would chase the noise; further is no
    // keeping.
    static constexpr int MinWithinMs = 10;
    static constexpr int MaxWithinMs = 10'000;
    static constexpr std::chrono::minutes MoveEvery{1};

    // `keeping` is the window's flag, which the port-open rule reads too;
    // the keeper clears it when the system refuses.
    ClockKeeper(SystemClock &clock, bool &keeping, QObject *parent = nullptr);

    // The system has been asked and has not answered: a press must wait.
    bool busy() const { return m_busy; }

    // The live offset has a new estimate; the clock is kept `within` it.
    // While a press waits or is answered (`syncInUse`), it moves the clock
    // itself.
    void consider(const ClockOffset::Point &estimate, std::chrono::milliseconds within, bool syncInUse);

    // The answer to networkTimeOn(): turn network time off and go on
    // keeping, or stop keeping.
    void turnNetworkTimeOff(bool turnOff);

Q_SIGNALS:
    // The system is asked whether network time holds the clock, then to move it.
    void moving();
    // It has answered: `status` for the status line, `details` the whole story.
    void answered(const QString &status, const QString &details);
    // It refused: keeping is off now; `why` says why and what to do (empty
    // where the user chose it).
    void stopped(const QString &why);
    // Network time synchronization holds the clock and has not synchronized
    // it: the user is to be asked whether to turn it off
    // (turnNetworkTimeOff()).
    void networkTimeOn();

private:
    void onSynchronizedKnown(bool synchronized);
    void onTimeSet(qint64 movedMs);
    void onRefused(const QString &message, int reason);
    void onNtpSet(bool on);
    void leftToNetworkTime();
    void stop(const QString &status, const QString &details, const QString &why);

    SystemClock &m_clock;
    bool &m_keeping;
    bool m_busy = false; // asked whether synchronized, or to move
    bool m_moving = false; // asked to move
    bool m_askedNtp = false; // whether to turn network time off, for this try
    bool m_turningNtpOff = false; // from that question until network time is off
    bool m_ntpTurnedOff = false; // by this keeping, before the move under way
    std::optional<SteadyTime> m_lastTry;
    std::chrono::microseconds m_offset{0}; // of the try under way
    std::chrono::milliseconds m_within{DefaultWithin};
};

} // namespace quorvel::clock
