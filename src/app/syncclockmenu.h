// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QMenu>
#include <QObject>

class QPoint;
class QPushButton;
class QWidget;

namespace quorvel {

// Sync PC Clock's context menu (right-click, the menu key, Shift+F10). It is
// built anew each time it opens: each piece that has items in it connects to
// aboutToShow() and adds them, in the order of the connections, so that the
// items always show the state in force.
class SyncClockMenu : public QObject
{
    Q_OBJECT

public:
    SyncClockMenu(QPushButton *syncButton, QWidget *window);

Q_SIGNALS:
    // Add the items now; `menu` opens when the connected pieces have.
    void aboutToShow(QMenu *menu);

private:
    void show(const QPoint &at);

    QPushButton *const m_button;
    QWidget *const m_window;
};

} // namespace quorvel
