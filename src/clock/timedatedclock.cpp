// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "timedatedclock.h"

#include "clockadjustment.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace quorvel::clock {

namespace {

// polkit may keep the call waiting while the user types a password.
constexpr int CallTimeoutMs = 10 * 60 * 1000;

} // namespace

void TimedatedClock::setTimeOfDay(const QString &timeString)
{
    const QTime target = QTime::fromString(timeString, QStringLiteral("hh:mm:ss"));
    if (!target.isValid()) {
        Q_EMIT refused(tr("The PC clock was not set: \"%1\" is not a time of day.").arg(timeString));
        return;
    }
    const std::chrono::milliseconds adjustment = clockAdjustment(QDateTime::currentDateTime(), target);

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        setWithKernel(adjustment);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("/org/freedesktop/timedate1"),
        QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("SetTime"));
    const qint64 usec = std::chrono::duration_cast<std::chrono::microseconds>(adjustment).count();
    call << usec << true /* relative */ << true /* interactive: polkit may ask */;
    call.setInteractiveAuthorizationAllowed(true);

    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, adjustment] {
        watcher->deleteLater();
        const QDBusPendingReply<> reply = *watcher;
        if (!reply.isError()) {
            Q_EMIT timeSet(adjustment.count());
            return;
        }
        const QDBusError::ErrorType type = reply.error().type();
        if (type == QDBusError::ServiceUnknown || type == QDBusError::NoServer
            || type == QDBusError::Disconnected) {
            // No timedated on this system. The adjustment is relative, so
            // applying it now is as right as it was when the line arrived.
            setWithKernel(adjustment);
            return;
        }
        Q_EMIT refused(explainRefusal(reply.error()));
    });
}

void TimedatedClock::setWithKernel(std::chrono::milliseconds adjustment)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const auto target = std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec) + adjustment;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(target);
    timespec wanted{};
    wanted.tv_sec = static_cast<time_t>(seconds.count());
    wanted.tv_nsec = static_cast<long>(std::chrono::nanoseconds(target - seconds).count());
    if (clock_settime(CLOCK_REALTIME, &wanted) == 0) {
        Q_EMIT timeSet(adjustment.count());
        return;
    }
    const int error = errno;
    if (error == EPERM) {
        Q_EMIT refused(tr("The PC clock was not set: this system has no time service (timedated) "
                          "and the program lacks the right to set the time itself (%1).\n\n"
                          "Run GPS Quorvel with the right to set the time "
                          "(CAP_SYS_TIME, for example as an administrator).")
                           .arg(QString::fromLocal8Bit(std::strerror(error))));
    } else {
        Q_EMIT refused(tr("The PC clock was not set: %1.").arg(QString::fromLocal8Bit(std::strerror(error))));
    }
}

QString TimedatedClock::explainRefusal(const QDBusError &error)
{
    const QString name = error.name();
    if (name == QLatin1String("org.freedesktop.timedate1.AutomaticTimeSyncEnabled")) {
        return tr("The PC clock was not set: automatic time synchronization is enabled.\n\n"
                  "Turn it off (in the system's date and time settings, or with "
                  "\"timedatectl set-ntp false\") and press Sync PC Clock again.");
    }
    if (error.type() == QDBusError::AccessDenied
        || name == QLatin1String("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired")
        || name.startsWith(QLatin1String("org.freedesktop.PolicyKit1.Error"))) {
        return tr("The PC clock was not set: you are not allowed to set the time (%1).\n\n"
                  "Ask an administrator for the right to set the system time, "
                  "or run GPS Quorvel with that right.")
            .arg(error.message());
    }
    return tr("The PC clock was not set: the time service answered \"%1\" (%2).").arg(error.message(), name);
}

} // namespace quorvel::clock
