// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "clock/clockoffset.h"

#include <QWidget>

#include <chrono>

namespace quorvel {

// A plot of how far the PC's clock was from GPS time over the session: the
// medians of each ten seconds of bursts, a step where the clock was moved,
// and through each segment the line of the drift they share; above it, in
// words, the offset now, the drift and what it all assumes. A screen reader
// gets the words.
class ClockWindow : public QWidget
{
    Q_OBJECT

public:
    // `offset` and `keeping` must outlive the window.
    ClockWindow(const clock::ClockOffset &offset, const bool &keeping, QWidget *parent = nullptr);

    void setKeepWithin(std::chrono::milliseconds within) { m_within = within; }
    // New bursts: `description` says what the plot shows.
    void refresh(const QString &description);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const clock::ClockOffset &m_offset;
    const bool &m_keeping;
    std::chrono::milliseconds m_within{0};
    QString m_description;
};

} // namespace quorvel
