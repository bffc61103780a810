// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clocksync.h"

#include "clock/systemclock.h"
#include "settings/utcoffset.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <utility>

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
    connect(&m_clock, &SystemClock::refused, this,
            [this](const QString &message, SystemClock::Refusal reason) { onRefused(message, int(reason)); });
    connect(&m_clock, &SystemClock::ntpSet, this, &ClockSync::onNtpSet);
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

bool ClockSync::takeTime(const nmea::SentenceTime &time, const link::BurstTiming::Burst &burst,
                         int offsetMinutes)
{
    if (time.sentence == nmea::TimeSentence::Zda) {
        if (!m_lastFix || std::chrono::abs(burst.epoch - *m_lastFix) > ZdaNeedsFixWithin)
            return false;
    } else {
        m_lastFix = burst.epoch;
    }
    if (m_burst == burst.position) {
        // Another sentence of a burst already timed: it is of the same
        // second, or the receiver never paused and the burst is not known.
        if (!(time.time == m_burstTime))
            return false;
    } else {
        m_burst = burst.position;
        m_burstTime = time.time;
        Q_EMIT timed(time.time, burst.epoch);
    }
    if (!m_pending)
        return false;
    cancel();
    m_busy = true;
    m_askedNetworkTime = false;
    m_networkTimeTurnedOff = false;
    m_confirming = false;
    m_request = MoveRequest{time.time,       time.date,     burst.epoch,
                            m_receiverDelay, offsetMinutes, zoneOffsetSeconds(burst.epoch),
                            m_earliestDate};
    m_move = planClockMove(m_request);
    return true;
}

void ClockSync::setClock()
{
    if (const std::optional<QString> question = moveQuestion(m_request, m_move)) {
        m_confirming = true;
        Q_EMIT moveToConfirm(*question);
        return;
    }
    m_clock.setTime(m_move.move);
}

void ClockSync::confirmMove(bool move)
{
    if (!m_busy || !std::exchange(m_confirming, false))
        return;
    if (move) {
        // The move is relative: applied now, it is as right as at the burst.
        m_clock.setTime(m_move.move);
        return;
    }
    m_busy = false;
    Q_EMIT answered(tr("The PC clock was not set: you chose to leave it."), QString(), QString());
}

void ClockSync::onTimeSet()
{
    if (!m_busy)
        return;
    m_busy = false;
    Q_EMIT answered(clockSetBrief(m_request, m_move, m_networkTimeTurnedOff),
                    clockSetStatus(m_request, m_move, m_networkTimeTurnedOff), QString());
}

void ClockSync::onRefused(const QString &message, int reason)
{
    const auto why = SystemClock::Refusal(reason);
    const bool networkTimeHolds
        = why == SystemClock::Refusal::NetworkTimeOn || why == SystemClock::Refusal::NetworkTimeSynchronized;
    if (m_busy && why == SystemClock::Refusal::NetworkTimeOn && !m_askedNetworkTime) {
        m_askedNetworkTime = true;
        m_networkTimeMessage = message;
        Q_EMIT networkTimeOn(message);
        return;
    }
    m_busy = false;
    if (m_networkTimeTurnedOff) {
        // Never told to turn off what has just been turned off; told that it
        // is off now, and how to turn it on again.
        Q_EMIT answered(tr("The PC clock was not set.") + QLatin1Char('\n') + tr("Network time is now off."),
                        tr("The PC clock was not set.") + QLatin1Char('\n') + networkTimeOffNote(),
                        networkTimeHolds
                            ? tr("Automatic time synchronization has been turned off, yet the time service "
                                 "still says it holds the clock, so the clock was not set.\n\n"
                                 "Press Sync PC Clock again in a moment.")
                            : message);
        return;
    }
    if (why == SystemClock::Refusal::NetworkTimeSynchronized) {
        Q_EMIT answered(tr("The PC clock was not set: network time has synchronized it."),
                        tr("The PC clock was not set: network time has synchronized it, which is closer to "
                           "the true time than GPS sentences."),
                        message);
        return;
    }
    Q_EMIT answered(tr("The PC clock was not set."), QString(), message);
}

void ClockSync::turnNetworkTimeOff(bool turnOff)
{
    if (!m_busy)
        return;
    if (turnOff) {
        m_clock.setNtp(false);
        return;
    }
    m_busy = false;
    Q_EMIT answered(tr("The PC clock was not set: network time synchronization is on."), QString(),
                    QString());
}

void ClockSync::onNtpSet(bool on)
{
    if (!m_busy || on)
        return;
    // The move is relative: applied now, it is as right as at the burst.
    m_networkTimeTurnedOff = true;
    m_clock.setTime(m_move.move);
}

} // namespace quorvel::clock
