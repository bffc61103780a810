// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clockkeeper.h"

#include "clock/clockadjustment.h"
#include "clock/systemclock.h"

#include <QTime>

#include <utility>

namespace quorvel::clock {

ClockKeeper::ClockKeeper(SystemClock &clock, bool &keeping, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_keeping(keeping)
{
    connect(&m_clock, &SystemClock::synchronizedKnown, this, &ClockKeeper::onSynchronizedKnown);
    connect(&m_clock, &SystemClock::timeSet, this, &ClockKeeper::onTimeSet);
    connect(&m_clock, &SystemClock::refused, this,
            [this](const QString &message, SystemClock::Refusal reason) { onRefused(message, int(reason)); });
    connect(&m_clock, &SystemClock::ntpSet, this, &ClockKeeper::onNtpSet);
}

void ClockKeeper::consider(const ClockOffset::Point &estimate, std::chrono::milliseconds within,
                           bool syncInUse)
{
    if (!m_keeping || m_busy || syncInUse || estimate.bursts < ClockOffset::MinBursts)
        return;
    if (std::chrono::abs(estimate.offset) <= within)
        return;
    // A try that was refused or left to network time counts too: the
    // system is not asked more than once a minute.
    if (m_lastTry && estimate.at - *m_lastTry < MoveEvery)
        return;
    m_lastTry = estimate.at;
    m_askedNtp = false;
    m_offset = estimate.offset;
    m_within = within;
    m_busy = true;
    Q_EMIT moving();
    m_clock.checkSynchronized(); // may answer at once
}

void ClockKeeper::onSynchronizedKnown(bool synchronized)
{
    // Also asked for by others (a port opening): while the user is asked
    // about network time, the answer waits for that.
    if (!m_busy || m_moving || m_turningNtpOff)
        return;
    if (synchronized) {
        leftToNetworkTime();
        return;
    }
    m_moving = true;
    // Relative: applied when the system acts, it is as right as now.
    m_clock.setTime(-m_offset);
}

void ClockKeeper::onTimeSet(qint64 movedMs)
{
    if (!m_moving)
        return;
    m_busy = m_moving = false;
    const QString moved = ClockOffset::secondsText(std::chrono::milliseconds(movedMs));
    QString details = tr("%1, more than the %2 ms it is kept within: it was moved %3 at %4.")
                          .arg(ClockOffset::offsetSentence(m_offset))
                          .arg(m_within.count())
                          .arg(moved, QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
    if (std::exchange(m_ntpTurnedOff, false))
        details += QLatin1Char(' ') + networkTimeOffNote();
    Q_EMIT answered(tr("Clock kept on GPS time:\nmoved %1.").arg(moved), details);
}

void ClockKeeper::onRefused(const QString &message, int reason)
{
    if (!m_moving && !m_turningNtpOff)
        return;
    m_moving = false;
    const auto refusal = SystemClock::Refusal(reason);
    if (refusal == SystemClock::Refusal::NetworkTimeSynchronized) {
        m_turningNtpOff = false;
        leftToNetworkTime();
        return;
    }
    // Network time holds the clock without having synchronized it: asked
    // once, as a press asks, whether to turn it off.
    if (refusal == SystemClock::Refusal::NetworkTimeOn && !std::exchange(m_askedNtp, true)) {
        m_turningNtpOff = true;
        Q_EMIT networkTimeOn();
        return;
    }
    m_turningNtpOff = false;
    // Asking for a password at every move is no way to keep a clock.
    const QString rule = refusal == SystemClock::Refusal::NotAllowed
        ? tr("\n\nAn administrator may let a group of users set the time without a password, with a polkit "
             "rule (man quorvel shows one).")
        : QString();
    stop(tr("Keeping the clock stopped:\nit could not be set."),
         tr("Keeping the clock on GPS time has stopped. %1").arg(message),
         tr("Keeping the clock on GPS time has stopped. %1%2\n\nOnce that is mended, choose Keep the clock "
            "on GPS time in Sync PC Clock's menu again.")
             .arg(message, rule));
}

void ClockKeeper::turnNetworkTimeOff(bool turnOff)
{
    if (!m_busy || !m_turningNtpOff || m_moving)
        return;
    // Keeping may have been turned off while the question was open.
    if (turnOff && m_keeping) {
        m_clock.setNtp(false);
        return;
    }
    m_turningNtpOff = false;
    stop(tr("Keeping the clock stopped:\nnetwork time is on."),
         tr("Keeping the clock on GPS time has stopped: network time synchronization is on and holds the "
            "clock, and you chose to leave it on."),
         QString());
}

void ClockKeeper::onNtpSet(bool on)
{
    if (!m_turningNtpOff || on)
        return;
    m_turningNtpOff = false;
    m_ntpTurnedOff = true;
    m_moving = true;
    // The move is relative: made now, it is as right as when it was planned.
    m_clock.setTime(-m_offset);
}

void ClockKeeper::stop(const QString &status, const QString &details, const QString &why)
{
    m_busy = false;
    m_keeping = false;
    Q_EMIT answered(status, details);
    Q_EMIT stopped(why);
}

void ClockKeeper::leftToNetworkTime()
{
    m_busy = false;
    Q_EMIT answered(tr("Clock not kept: network time\nhas synchronized it."),
                    tr("%1, but network time synchronization is on and has synchronized the clock, which "
                       "keeps it closer to the true time than GPS sentences can: it is left alone while "
                       "that lasts.")
                        .arg(ClockOffset::offsetSentence(m_offset)));
}

} // namespace quorvel::clock
