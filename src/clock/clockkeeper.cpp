// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clockkeeper.h"

#include "clock/systemclock.h"

#include <QTime>

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
    m_offset = estimate.offset;
    m_within = within;
    m_busy = true;
    Q_EMIT moving();
    m_clock.checkSynchronized(); // may answer at once
}

void ClockKeeper::onSynchronizedKnown(bool synchronized)
{
    if (!m_busy || m_moving)
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
    Q_EMIT answered(tr("Clock kept on GPS time:\nmoved %1.").arg(moved),
                    tr("%1, more than the %2 ms it is kept within: it was moved %3 at %4.")
                        .arg(ClockOffset::offsetSentence(m_offset))
                        .arg(m_within.count())
                        .arg(moved, QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
}

void ClockKeeper::onRefused(const QString &message, int reason)
{
    if (!m_moving)
        return;
    m_busy = m_moving = false;
    if (SystemClock::Refusal(reason) == SystemClock::Refusal::NetworkTimeSynchronized) {
        leftToNetworkTime();
        return;
    }
    m_keeping = false;
    Q_EMIT answered(tr("Keeping the clock stopped:\nit could not be set."),
                    tr("Keeping the clock on GPS time has stopped. %1").arg(message));
    // Asking for a password at every move is no way to keep a clock.
    const QString rule = SystemClock::Refusal(reason) == SystemClock::Refusal::NotAllowed
        ? tr("\n\nAn administrator may let a group of users set the time without a password, with a polkit "
             "rule (man quorvel shows one).")
        : QString();
    Q_EMIT stopped(
        tr("Keeping the clock on GPS time has stopped. %1%2\n\nOnce that is mended, choose Keep the clock "
           "on GPS time in Sync PC Clock's menu again.")
            .arg(message, rule));
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
