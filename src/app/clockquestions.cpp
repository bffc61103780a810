// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clockquestions.h"

#include "app/appinfo.h"
#include "clock/clocksync.h"

#include <QMessageBox>

namespace quorvel {

ClockQuestions::ClockQuestions(clock::ClockSync &sync, QWidget *window)
    : QObject(window)
    , m_sync(sync)
    , m_window(window)
{
    connect(&m_sync, &clock::ClockSync::networkTimeOn, this, &ClockQuestions::ask);
}

void ClockQuestions::ask()
{
    auto *box = new QMessageBox(
        QMessageBox::Question, ApplicationName,
        tr("Automatic time synchronization is on but has not synchronized the PC clock, so the clock was "
           "not set.\n\nTurn automatic time synchronization off and set the clock from GPS?"),
        QMessageBox::Yes | QMessageBox::No, m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setDefaultButton(QMessageBox::Yes);
    connect(box, &QMessageBox::finished, this, [this, box] {
        m_sync.turnNetworkTimeOff(box->clickedButton() == box->button(QMessageBox::Yes));
    });
    box->open();
}

} // namespace quorvel
