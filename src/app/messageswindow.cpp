// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "messageswindow.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextBlock>
#include <QVBoxLayout>

namespace quorvel {

MessagesWindow::MessagesWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_list(new QPlainTextEdit(this))
{
    setWindowTitle(tr("Messages \u2013 GPS Quorvel"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(520, 300);
    m_list->setReadOnly(true);
    // Read-only, but with a cursor the keys move, so that a screen reader
    // follows it line by line.
    m_list->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_list->setAccessibleName(tr("Messages of the status line"));
    m_list->setMaximumBlockCount(int(StatusLine::MaxHistory));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    // It has no buttons: the keys that close a window close it. The text
    // takes Escape for itself before a shortcut sees it.
    connect(new QShortcut(QKeySequence::Close, this), &QShortcut::activated, this, &QWidget::close);
    m_list->installEventFilter(this);
}

bool MessagesWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->keyCombination() == QKeyCombination(Qt::Key_Escape)) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MessagesWindow::add(const StatusLine::Entry &entry)
{
    // A message of several lines stays one paragraph.
    QString text = entry.text;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    m_list->appendPlainText(entry.at.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") + text);
    QTextCursor cursor(m_list->document()->lastBlock());
    m_list->setTextCursor(cursor);
    m_list->ensureCursorVisible();
}

QString MessagesWindow::text() const
{
    return m_list->toPlainText().replace(QChar::LineSeparator, QLatin1Char('\n'));
}

} // namespace quorvel
