// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "statusline.h"

#include "app/appstate.h"
#include "average/export.h"
#include "clock/clocksync.h"
#include "link/serialcontrol.h"

#include <QLabel>
#include <QLocale>
#include <QStringList>

namespace quorvel {

StatusLine::StatusLine(QLabel *label, const AppState &state, const link::SerialControl &serial,
                       const clock::ClockSync &sync, QObject *parent)
    : QObject(parent)
    , m_label(label)
    , m_state(state)
    , m_serial(serial)
    , m_sync(sync)
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &StatusLine::followState);
}

void StatusLine::setText(const QString &text, const QString &details)
{
    if (m_label->text() != text)
        m_label->setText(text);
    m_label->setToolTip(details);
    // What the tooltip adds reaches a screen reader too.
    m_label->setAccessibleDescription(details);
}

void StatusLine::hold(const StatusMessage &message)
{
    m_held.start();
    setText(message.text, message.details);
}

void StatusLine::setWaitingForReceiver(bool waiting)
{
    m_waitingSince = waiting ? QDateTime::currentDateTime() : QDateTime();
}

void StatusLine::setStopRule(const std::optional<average::StopRule> &rule)
{
    m_rule = rule;
    m_ruleArmed = false;
    if (m_state.Logging && rule)
        m_ruleArmed = !followRule();
}

bool StatusLine::followRule()
{
    if (!m_rule)
        return false;
    const qint64 ms = m_loggedMs + (m_logging.isValid() ? m_logging.elapsed() : 0);
    m_progress = average::stopProgress(*m_rule, m_state, int(ms / 1000), QLocale().decimalPoint());
    return m_progress.met;
}

void StatusLine::fixStored()
{
    if (m_ruleArmed && m_rule->kind == average::StopRule::Kind::Fixes && followRule())
        stopByRule();
}

void StatusLine::startPoint(int number)
{
    accountLoggingTime();
    m_loggedMs = 0;
    m_point = number;
    m_stoppedBy.clear();
    m_ruleArmed = m_state.Logging && m_rule && !followRule();
}

void StatusLine::stopByRule()
{
    m_ruleArmed = false;
    m_stoppedBy = m_progress.text;
    Q_EMIT stopRuleMet(); // stops logging, which shows the state
}

QString StatusLine::stateText(QString *details) const
{
    // Two short lines fit; the second is the sync's, or else what the first
    // leads to.
    const int n = m_state.SampleCount;
    QStringList lines, tips;
    if (m_waitingSince.isValid()) {
        lines << tr("No receiver on COM %1 since %2.")
                     .arg(m_serial.CommPort())
                     .arg(m_waitingSince.toString(QStringLiteral("HH:mm:ss")));
        if (m_state.Logging && !m_state.SyncPending && !m_sync.busy())
            lines << tr("Logging goes on when it is back.");
        tips << m_serial.errorString();
        if (m_state.Logging)
            tips << tr("The %n fix(es) logged are kept.", nullptr, n);
    } else if (m_state.Logging) {
        lines << tr("Point %1: %n fix(es) in %2.", nullptr, n)
                     .arg(m_point)
                     .arg(average::durationText(int(m_loggedMs / 1000)));
    } else {
        lines << tr("Point %1, logging off: %n fix(es).", nullptr, n).arg(m_point);
        // The second line is the sync's while one waits or is under way.
        if (!m_stoppedBy.isEmpty()) {
            const QString stopped = tr("Stopped by its rule: %1.").arg(m_stoppedBy);
            (m_state.SyncPending || m_sync.busy() ? tips : lines) << stopped;
        }
    }
    // The stop rule's progress, on the second line where it is free.
    if (m_state.Logging && m_rule) {
        const QString rule = average::stopRuleDescription(*m_rule, QLocale().decimalPoint());
        if (!m_ruleArmed) {
            tips << tr("The stop rule (%1) was met before logging started: logging goes on until Stop Log.")
                        .arg(rule);
        } else {
            if (lines.size() < 2 && !m_state.SyncPending && !m_sync.busy())
                lines << tr("Stop rule: %1.").arg(m_progress.text);
            tips << tr("Logging stops by itself %1: %2.").arg(rule, m_progress.text);
        }
    }
    if (m_sync.busy()) {
        lines << tr("Setting the PC clock to %1\u2026").arg(m_sync.timeRequested());
    } else if (m_state.SyncPending) {
        lines << tr("Waiting for a fix to set the clock.");
        tips << tr("Press Sync PC Clock again, or Escape, to cancel.");
    }
    *details = tips.join(QLatin1Char('\n'));
    return lines.join(QLatin1Char('\n'));
}

void StatusLine::showState(const StatusMessage &held)
{
    accountLoggingTime();
    if (m_state.Logging && !m_wasLogging) {
        // Logging starts: a rule that is met already lets it run.
        m_stoppedBy.clear();
        m_ruleArmed = m_rule && !followRule();
    }
    m_wasLogging = m_state.Logging;
    if (m_state.Logging || m_state.SyncPending)
        m_timer.start();
    else
        m_timer.stop();
    if (!held.text.isEmpty()) {
        hold(held);
        return;
    }
    m_held.invalidate();
    QString details;
    const QString text = stateText(&details);
    setText(text, details);
}

void StatusLine::catchUp()
{
    if (m_timer.isActive() && m_timer.remainingTime() < SlackMs) {
        m_timer.start();
        followState();
    }
}

void StatusLine::followState()
{
    accountLoggingTime();
    if (!m_state.Logging && !m_state.SyncPending) {
        m_timer.stop();
        return;
    }
    if (m_state.Logging) {
        const bool measured = m_ruleArmed;
        if (m_ruleArmed && followRule()) {
            stopByRule();
            return;
        }
        Q_EMIT loggingFollowed(measured && m_progress.scatter ? &*m_progress.scatter : nullptr);
        m_progress.scatter.reset(); // not kept for the next second
    }
    // A message of its own (a clock sync, a mean) stays a while before the
    // state returns.
    if (m_held.isValid() && !m_held.hasExpired(HeldMs))
        return;
    QString details;
    const QString text = stateText(&details);
    setText(text, details);
}

void StatusLine::accountLoggingTime()
{
    if (m_logging.isValid())
        m_loggedMs += m_logging.restart();
    // While the receiver is gone no fix can come: that is no time logged.
    if (!m_state.Logging || m_waitingSince.isValid())
        m_logging.invalidate();
    else if (!m_logging.isValid())
        m_logging.start();
}

} // namespace quorvel
