// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "systemclock.h"

#include <functional>

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

    void setTime(std::chrono::microseconds move) override;
    void setNtp(bool on) override;
    void checkSynchronized() override;

private:
    // Words for a refusal by timedated, with what the user can do about it;
    // `synchronized` is what timedated says of the clock.
    static QString explainRefusal(const QDBusError &error, bool synchronized = false);

    void setWithKernel(std::chrono::microseconds move);
    // Reads timedated's NTPSynchronized property; `answer` gets false when it
    // cannot be read.
    void readSynchronized(std::function<void(bool)> answer);
};

} // namespace quorvel::clock
