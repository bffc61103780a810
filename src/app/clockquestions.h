// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>

class QWidget;

namespace quorvel {

namespace clock {
class ClockSync;
}

// Network time holds the clock and has not synchronized it: the user is asked,
// without waiting, whether to turn it off and set the clock from GPS; the
// clock sync gets the answer.
class ClockQuestions : public QObject
{
    Q_OBJECT

public:
    ClockQuestions(clock::ClockSync &sync, QWidget *window);

private:
    void ask();

    clock::ClockSync &m_sync;
    QWidget *const m_window;
};

} // namespace quorvel
