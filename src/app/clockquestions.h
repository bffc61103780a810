// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QMessageBox>
#include <QObject>

#include <functional>

class QWidget;

namespace quorvel {

namespace clock {
class ClockKeeper;
class ClockSync;
} // namespace clock

// What the clock sync asks the user, without waiting: whether to turn network
// time off when it holds the clock and has not synchronized it, and whether
// to make a move that is to be confirmed (a date far off, an offset that is
// not the PC zone's). The clock sync gets the answers. Keeping the clock asks
// the first of these too.
class ClockQuestions : public QObject
{
    Q_OBJECT

public:
    ClockQuestions(clock::ClockSync &sync, clock::ClockKeeper &keeper, QWidget *window);

private:
    // `answer` gets whether Yes was chosen; `safe` is the default button.
    void ask(const QString &question, QMessageBox::StandardButton safe, std::function<void(bool)> answer);

    clock::ClockSync &m_sync;
    QWidget *const m_window;
};

} // namespace quorvel
