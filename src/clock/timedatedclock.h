// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "systemclock.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QVariantMap>

#include <functional>

class QDBusError;

namespace quorvel::clock {

// Sets the clock through systemd-timedated on the system bus, which lets an
// ordinary desktop user set the time after polkit has asked for a password.
// The change is sent as a difference to the current clock, so it stays right
// however long the password prompt keeps the call waiting. Without a system
// bus or timedated, the kernel is asked directly (clock_settime), which needs
// CAP_SYS_TIME.
//
// timedated answers SetNTP as soon as it has asked systemd to stop (or start)
// the time sync unit, and refuses every SetTime ("Previous request is not
// finished, refusing.") until that unit's job has finished, when its NTP
// property changes. So ntpSet() waits for NTP to read the new value, and a
// SetTime refused so is sent again for a few seconds.
class TimedatedClock final : public SystemClock
{
    Q_OBJECT

public:
    explicit TimedatedClock(QObject *parent = nullptr);

    // How long ntpSet() waits for timedated to finish, and how long a SetTime
    // refused while it has not is tried again.
    static constexpr int NtpWaitMs = 10'000;
    static constexpr int BusyRetryMs = 5'000;

    void setTime(std::chrono::microseconds move) override;
    void setNtp(bool on) override;
    void checkSynchronized() override;

private:
    // Words for a refusal by timedated, with what the user can do about it;
    // `synchronized` is what timedated says of the clock.
    static QString explainRefusal(const QDBusError &error, bool synchronized = false);

    // The part of a refusal for lack of rights that says what to do.
    static QString notAllowedAdvice(const QDBusError &error);

    // One SetTime call; `firstSent` is when the move was first asked for.
    void sendSetTime(std::chrono::microseconds move, const QElapsedTimer &firstSent);
    void setWithKernel(std::chrono::microseconds move);
    // Reads timedated's boolean property `name`; `answer` gets false when it
    // cannot be read.
    void readProperty(const QString &name, std::function<void(bool)> answer);
    void readSynchronized(std::function<void(bool)> answer);

    // Waiting for NTP to read `m_ntpWanted` after SetNTP has been answered.
    void waitForNtp(bool on);
    void checkNtp();
    void endNtpWait();

private Q_SLOTS:
    void onTimedatedChanged(const QString &interface, const QVariantMap &changed,
                            const QStringList &invalidated);

private:
    bool m_waitingForNtp = false;
    bool m_ntpWanted = false;
    QElapsedTimer m_ntpWait;
    QTimer m_ntpPoll;
};

} // namespace quorvel::clock
