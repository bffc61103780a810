// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "statusline.h"

#include "app/appstate.h"
#include "app/messageswindow.h"
#include "average/export.h"
#include "clock/clocksync.h"
#include "link/serialcontrol.h"

#include <QAction>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QStringList>
#include <QTextLayout>

#include <algorithm>

namespace quorvel {

namespace {

// The label's text is never shown smaller than this.
constexpr qreal SmallestPointSize = 7;

// Whether `text`, wrapped at word boundaries as the label wraps it, fits in `box`.
bool fits(const QFont &font, const QSize &box, const QString &text)
{
    const QRect needed = QFontMetrics(font).boundingRect(
        QRect(0, 0, box.width(), QWIDGETSIZE_MAX), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    return needed.width() <= box.width() && needed.height() <= box.height();
}

// The lines of `text` that fit in `box`, the last of them cut short with "…".
QString elided(const QFont &font, const QSize &box, const QString &text)
{
    int room = 1;
    while (fits(font, box, QStringList(room + 1, QStringLiteral("X")).join(QLatin1Char('\n'))))
        ++room;
    QString flowing = text;
    flowing.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(flowing, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(box.width());
        const bool last = lines.size() + 1 == room;
        QString words
            = last ? flowing.mid(line.textStart()) : flowing.mid(line.textStart(), line.textLength());
        words.replace(QChar::LineSeparator, QLatin1Char(' '));
        if (last) {
            lines << QFontMetrics(font).elidedText(words.simplified(), Qt::ElideRight, box.width());
            break;
        }
        lines << words.trimmed();
    }
    layout.endLayout();
    return lines.join(QLatin1Char('\n'));
}

} // namespace

StatusLine::StatusLine(QLabel *label, const AppState &state, const link::SerialControl &serial,
                       const clock::ClockSync &sync, QObject *parent)
    : QObject(parent)
    , m_label(label)
    , m_font(label->font())
    , m_state(state)
    , m_serial(serial)
    , m_sync(sync)
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &StatusLine::followState);

    // The label's menu: its message copied whole, and the session's
    // messages, which Ctrl+M brings up from anywhere in the window.
    auto *copy = new QAction(tr("&Copy message"), m_label);
    connect(copy, &QAction::triggered, this,
            [this] { QGuiApplication::clipboard()->setText(m_shown.whole()); });
    auto *messages = new QAction(tr("&Messages\u2026"), m_label);
    messages->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    messages->setShortcutContext(Qt::WindowShortcut);
    connect(messages, &QAction::triggered, this, &StatusLine::showMessages);
    m_label->addActions({copy, messages});
    m_label->setContextMenuPolicy(Qt::ActionsContextMenu);

    show({m_label->text(), {}}, true);
}

void StatusLine::show(const StatusMessage &message, bool listed)
{
    // The window's size first, then smaller, then cut short.
    QFont font = m_font;
    while (!fits(font, m_label->size(), message.text) && font.pointSizeF() > SmallestPointSize)
        font.setPointSizeF(std::max(SmallestPointSize, font.pointSizeF() - 0.5));
    QString text = message.text;
    if (!fits(font, m_label->size(), text)) {
        font = m_font;
        text = elided(font, m_label->size(), text);
    }
    if (m_label->font() != font)
        m_label->setFont(font);
    // A screen reader reads the text as the label's name, never cut short,
    // and hears of each change once; the whole, where it says more, is its
    // description.
    if (m_label->text() != text || m_label->accessibleName() != message.text) {
        m_label->setAccessibleName(message.text);
        m_label->setText(text);
    }
    m_shown = message;
    const QString whole = message.whole();
    m_label->setToolTip(whole);
    // Set only when it changes: each setting is told to a screen reader.
    if (const QString description = whole == message.text ? QString() : whole;
        m_label->accessibleDescription() != description)
        m_label->setAccessibleDescription(description);
    if (listed)
        list(whole);
}

void StatusLine::list(const QString &whole)
{
    if (!m_history.isEmpty() && m_history.last().text == whole)
        return;
    if (m_history.size() == MaxHistory)
        m_history.removeFirst();
    m_history.append({QDateTime::currentDateTime(), whole});
    if (m_messages)
        m_messages->add(m_history.last());
}

void StatusLine::showMessages()
{
    // What the line says now, counts and times up to date, ends the list.
    list(m_shown.whole());
    if (!m_messages) {
        m_messages = new MessagesWindow(m_label->window());
        for (const Entry &entry : std::as_const(m_history))
            m_messages->add(entry);
    }
    m_messages->show();
    m_messages->raise();
    m_messages->activateWindow();
}

void StatusLine::hold(const StatusMessage &message)
{
    m_held.start();
    show(message, true);
}

void StatusLine::setWaitingForReceiver(bool waiting)
{
    m_waitingSince = waiting ? QDateTime::currentDateTime() : QDateTime();
}

void StatusLine::setStopRule(const std::optional<average::StopRule> &rule)
{
    m_rule = rule;
    m_ruleArmed = m_state.Logging && rule;
    // A rule chosen while logging is followed from now on: one that is met
    // already stops logging at once, as it would at its next check.
    if (m_ruleArmed && followRule())
        stopByRule();
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
    m_stoppedBy = m_progress.stoppedLine;
    Q_EMIT stopRuleMet(); // stops logging, which shows the state
}

StatusMessage StatusLine::stateMessage() const
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
        if (!m_stoppedBy.isEmpty())
            (m_state.SyncPending || m_sync.busy() ? tips : lines) << m_stoppedBy;
    }
    // The stop rule's progress, on the second line where it is free.
    if (m_state.Logging && m_rule) {
        const QString rule = average::stopRuleDescription(*m_rule, QLocale().decimalPoint());
        if (!m_ruleArmed) {
            tips << tr("The stop rule (%1) was met before logging started: logging goes on until Stop Log.")
                        .arg(rule);
        } else {
            if (lines.size() < 2 && !m_state.SyncPending && !m_sync.busy())
                lines << m_progress.line;
            tips << tr("Logging stops by itself %1: %2.").arg(rule, m_progress.text);
        }
    }
    if (m_sync.busy()) {
        lines << tr("Setting the PC clock to %1\u2026").arg(m_sync.timeRequested());
    } else if (m_state.SyncPending) {
        lines << tr("Waiting for a fix to set the clock.");
        tips << tr("Press Sync PC Clock again, or Escape, to cancel.");
    }
    // The whole: the lines, then what they leave out.
    const QString text = lines.join(QLatin1Char('\n'));
    return {text, tips.isEmpty() ? QString() : (lines + tips).join(QLatin1Char('\n'))};
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
    show(stateMessage(), true);
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
    show(stateMessage(), false);
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
