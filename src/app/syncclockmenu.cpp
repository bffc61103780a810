// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "syncclockmenu.h"

#include <QMenu>
#include <QPushButton>

namespace quorvel {

SyncClockMenu::SyncClockMenu(QPushButton *syncButton, QWidget *window)
    : QObject(window)
    , m_button(syncButton)
    , m_window(window)
{
    m_button->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_button, &QPushButton::customContextMenuRequested, this,
            [this](const QPoint &at) { show(m_button->mapToGlobal(at)); });
}

void SyncClockMenu::show(const QPoint &at)
{
    auto *menu = new QMenu(m_window);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    Q_EMIT aboutToShow(menu);
    menu->popup(at);
}

} // namespace quorvel
