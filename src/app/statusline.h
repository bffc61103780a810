// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "average/stoprule.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFont>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QLabel;

namespace quorvel {

struct AppState;
class MessagesWindow;

namespace clock {
class ClockSync;
}
namespace link {
class SerialControl;
}

// A message for the status line: `text` in two short lines, for the label,
// and `details`, where the text leaves something out, with the whole of it.
// The whole is the label's tooltip, and what the Messages window lists.
struct StatusMessage
{
    QString text;
    QString details;

    QString whole() const { return details.isEmpty() ? text : details; }
};

// The status line (Label1): what is going on (logging, how many fixes, for
// how long; the receiver missing; a sync waiting) and, for a while, a
// message of its own. It reads the window's state; it changes none of it.
//
// Every message can be read in full: a text too long for the label's two
// lines is shown in a smaller size, down to 7 points, else cut short with
// "…"; the whole is in the tooltip and, where it says more than the text,
// the accessible description (the text is the accessible name). The
// messages of the session, with their times, are listed in the Messages
// window (the label's context menu, or Ctrl+M anywhere in the window).
class StatusLine : public QObject
{
    Q_OBJECT

public:
    StatusLine(QLabel *label, const AppState &state, const link::SerialControl &serial,
               const clock::ClockSync &sync, QObject *parent = nullptr);

    // A message as the Messages window lists it: when it was shown, and the
    // whole of it.
    struct Entry
    {
        QDateTime at;
        QString text;
    };
    // The messages of the session, oldest first; the latest MaxHistory.
    static constexpr qsizetype MaxHistory = 1000;
    const QList<Entry> &history() const { return m_history; }
    // The Messages window, with what the line says now as its last entry.
    void showMessages();

    // The state has changed: it replaces whatever the line says, or, with a
    // message of its own, is shown once that message has had its time. The
    // line changes once either way, so a screen reader reads it once.
    void showState(const StatusMessage &held = {});
    // A message of its own: the state does not cover it for a while.
    void hold(const StatusMessage &message);
    // Received bytes come in batches some 50 ms apart: an update that is due
    // before the next one is brought forward into this batch's repaint
    // rather than waking up again for it.
    void catchUp();
    // The receiver went away (true) or is there again or no longer waited
    // for (false): the line says since when, and that time is not logged.
    void setWaitingForReceiver(bool waiting);
    // When logging is to stop by itself; nothing: at Stop Log only. While
    // logging, the line shows the rule's progress; a rule chosen while
    // logging that is met already stops it at once (stopRuleMet()).
    void setStopRule(const std::optional<average::StopRule> &rule);
    // A fix was stored: a rule on the count of fixes is checked at once,
    // the others once a second (the mean's takes some milliseconds).
    void fixStored();
    // The point being logged, by its number; its time logged starts at
    // zero, and a stop rule counts afresh.
    void startPoint(int number);

Q_SIGNALS:
    // Once a second while logging, for what follows the fixes as they come;
    // with the fixes' scatter where the stop rule measured it just now, so
    // that it is not worked out twice (nothing otherwise).
    void loggingFollowed(const average::Scatter *measured);
    // The stop rule is met; the line says so once logging is off.
    void stopRuleMet();

private:
    // Once a second while logging or a sync waits: the count and the time,
    // unless a message of its own is still held.
    void followState();
    StatusMessage stateMessage() const;
    // Shows `message` on the label; a message that is not merely the state
    // brought up to date is listed in the Messages window too.
    void show(const StatusMessage &message, bool listed);
    void list(const QString &whole);
    // Adds the time logging has run since the last look, and goes on timing
    // only while fixes can arrive.
    void accountLoggingTime();
    // Measures the stop rule's progress; true when it is met now, for a
    // logging period that began with it unmet.
    bool followRule();
    // The rule is met: logging is to stop, and the line is to say why.
    void stopByRule();

    QLabel *const m_label;
    const QFont m_font; // the label's own, before any message was fitted
    StatusMessage m_shown;
    QList<Entry> m_history;
    QPointer<MessagesWindow> m_messages;
    const AppState &m_state;
    const link::SerialControl &m_serial;
    const clock::ClockSync &m_sync;
    QTimer m_timer; // while logging or a sync waits
    QElapsedTimer m_logging; // since the last look at the logging time, while fixes can arrive
    QElapsedTimer m_held; // since a message the count must not cover at once
    static constexpr qint64 HeldMs = 8000;
    static constexpr int SlackMs = 150;
    qint64 m_loggedMs = 0; // how long logging has run for this point
    int m_point = 1; // the point being logged
    QDateTime m_waitingSince; // the receiver went away then; invalid while it is there
    std::optional<average::StopRule> m_rule;
    average::StopProgress m_progress;
    // A rule met already when logging starts does not stop it at once:
    // logging then goes on until Stop Log.
    bool m_ruleArmed = false;
    bool m_wasLogging = false;
    QString m_stoppedBy; // the rule's line when it stopped logging, until logging starts again
};

} // namespace quorvel
