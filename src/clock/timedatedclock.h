// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "systemclock.h"

#include <chrono>

class QDBusError;

namespace quorvel::clock {

// Sets the clock through systemd-timedated on the system bus, which lets an
// ordinary desktop user set the time after polkit has asked for a password.
// The change is sent as a difference to the current clock, so it stays right
// however long the password prompt keeps the call waiting. Without a system
// bus or timedated, the kernel is asked directly (clock_settime), which needs
// CAP_SYS_TIME.
class TimedatedClock final : public SystemClock
{
    Q_OBJECT

public:
    using SystemClock::SystemClock;

    void setTimeOfDay(const QString &timeString) override;

    // Words for a refusal by timedated, with what the user can do about it.
    static QString explainRefusal(const QDBusError &error);

private:
    void setWithKernel(std::chrono::milliseconds adjustment);
};

} // namespace quorvel::clock
