// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace quorvel {

// Ends the event loop on SIGTERM, SIGHUP (a logout) and SIGINT (Ctrl+C in a
// terminal) as closing the window does, so that the window is destroyed and
// the serial port closed: the signals' default action would end the process
// on the spot and leave the port's lock file behind. A signal ignored when
// the program started (nohup, a background job) stays ignored.
class QuitSignals : public QObject
{
public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace quorvel
