// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clockquestions.h"

#include "app/appinfo.h"
#include "clock/clockkeeper.h"
#include "clock/clocksync.h"

#include <QAbstractButton>

namespace quorvel {

ClockQuestions::ClockQuestions(clock::ClockSync &sync, clock::ClockKeeper &keeper, QWidget *window)
    : QObject(window)
    , m_sync(sync)
    , m_window(window)
{
    connect(&m_sync, &clock::ClockSync::networkTimeOn, this, [this] {
        ask(tr("Automatic time synchronization is on but has not synchronized the PC clock, so the clock was "
               "not set.\n\nTurn automatic time synchronization off and set the clock from GPS?"),
            QMessageBox::Yes, [this](bool yes) { m_sync.turnNetworkTimeOff(yes); });
    });
    connect(&keeper, &clock::ClockKeeper::networkTimeOn, this, [this, &keeper] {
        ask(tr("Automatic time synchronization is on but has not synchronized the PC clock, so the clock "
               "cannot be kept on GPS time.\n\nTurn automatic time synchronization off and keep the clock "
               "on GPS time?"),
            QMessageBox::Yes, [&keeper](bool yes) { keeper.turnNetworkTimeOff(yes); });
    });
    // A move this large is more likely a fault than a wish: No is the default.
    connect(&m_sync, &clock::ClockSync::moveToConfirm, this, [this](const QString &question) {
        ask(question, QMessageBox::No, [this](bool yes) { m_sync.confirmMove(yes); });
    });
}

void ClockQuestions::ask(const QString &question, QMessageBox::StandardButton safe,
                         std::function<void(bool)> answer)
{
    auto *box = new QMessageBox(QMessageBox::Question, ApplicationName, question,
                                QMessageBox::Yes | QMessageBox::No, m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setDefaultButton(safe);
    box->setEscapeButton(QMessageBox::No);
    connect(box, &QMessageBox::finished, this,
            [box, answer] { answer(box->clickedButton() == box->button(QMessageBox::Yes)); });
    box->open();
}

} // namespace quorvel
