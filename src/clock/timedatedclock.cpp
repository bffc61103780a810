// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "timedatedclock.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace quorvel::clock {

namespace {

// polkit may keep the call waiting while the user types a password.
constexpr int CallTimeoutMs = 10 * 60 * 1000;

const QString Timedated = QStringLiteral("org.freedesktop.timedate1");

QDBusMessage timedatedCall(const QString &interface, const QString &method)
{
    return QDBusMessage::createMethodCall(Timedated, QStringLiteral("/org/freedesktop/timedate1"), interface,
                                          method);
}

bool withoutTimedated(const QDBusError &error)
{
    const QDBusError::ErrorType type = error.type();
    return type == QDBusError::ServiceUnknown || type == QDBusError::NoServer
        || type == QDBusError::Disconnected;
}

bool notAllowed(const QDBusError &error)
{
    const QString name = error.name();
    return error.type() == QDBusError::AccessDenied
        || name == QLatin1String("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired")
        || name.startsWith(QLatin1String("org.freedesktop.PolicyKit1.Error"));
}

std::chrono::milliseconds inMilliseconds(std::chrono::microseconds move)
{
    return std::chrono::round<std::chrono::milliseconds>(move);
}

} // namespace

void TimedatedClock::setTime(std::chrono::microseconds move)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        setWithKernel(move);
        return;
    }
    QDBusMessage call = timedatedCall(Timedated, QStringLiteral("SetTime"));
    call << qint64(move.count()) << true /* relative */ << true /* interactive: polkit may ask */;
    call.setInteractiveAuthorizationAllowed(true);

    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, move] {
        watcher->deleteLater();
        const QDBusPendingReply<> reply = *watcher;
        if (!reply.isError()) {
            Q_EMIT timeSet(inMilliseconds(move).count());
            return;
        }
        const QDBusError error = reply.error();
        if (withoutTimedated(error)) {
            // No timedated on this system. The move is relative, so applying
            // it now is as right as it was when the line arrived.
            setWithKernel(move);
            return;
        }
        if (error.name() == QLatin1String("org.freedesktop.timedate1.AutomaticTimeSyncEnabled")) {
            // Whether network time has done its work decides what is best.
            readSynchronized([this, error](bool synchronized) {
                Q_EMIT refused(explainRefusal(error, synchronized),
                               synchronized ? Refusal::NetworkTimeSynchronized : Refusal::NetworkTimeOn);
            });
            return;
        }
        Q_EMIT refused(explainRefusal(error), notAllowed(error) ? Refusal::NotAllowed : Refusal::Other);
    });
}

void TimedatedClock::setNtp(bool on)
{
    const auto fail = [this, on](const QString &reason, Refusal refusal) {
        Q_EMIT refused(on ? tr("Network time synchronization could not be turned on: %1.").arg(reason)
                          : tr("The PC clock was not set: network time synchronization could not be "
                               "turned off: %1.")
                                .arg(reason),
                       refusal);
    };
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        fail(tr("this system has no system bus"), Refusal::Other);
        return;
    }
    QDBusMessage call = timedatedCall(Timedated, QStringLiteral("SetNTP"));
    call << on << true /* interactive: polkit may ask */;
    call.setInteractiveAuthorizationAllowed(true);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, on, fail, this] {
        watcher->deleteLater();
        const QDBusPendingReply<> reply = *watcher;
        if (!reply.isError()) {
            Q_EMIT ntpSet(on);
            return;
        }
        const QDBusError error = reply.error();
        fail(error.message(), notAllowed(error) ? Refusal::NotAllowed : Refusal::Other);
    });
}

void TimedatedClock::checkSynchronized()
{
    readSynchronized([this](bool synchronized) { Q_EMIT synchronizedKnown(synchronized); });
}

void TimedatedClock::readSynchronized(std::function<void(bool)> answer)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        // Answered later, as over the bus.
        QMetaObject::invokeMethod(this, [answer] { answer(false); }, Qt::QueuedConnection);
        return;
    }
    QDBusMessage get
        = timedatedCall(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << Timedated << QStringLiteral("NTPSynchronized");
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(get), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, answer] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *watcher;
        answer(!reply.isError() && reply.value().variant().toBool());
    });
}

void TimedatedClock::setWithKernel(std::chrono::microseconds move)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const auto target = std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec) + move;
    const auto seconds = std::chrono::floor<std::chrono::seconds>(target);
    timespec wanted{};
    wanted.tv_sec = static_cast<time_t>(seconds.count());
    wanted.tv_nsec = static_cast<long>(std::chrono::nanoseconds(target - seconds).count());
    if (clock_settime(CLOCK_REALTIME, &wanted) == 0) {
        Q_EMIT timeSet(inMilliseconds(move).count());
        return;
    }
    const int error = errno;
    if (error == EPERM) {
        Q_EMIT refused(tr("The PC clock was not set: this system has no time service (timedated) "
                          "and the program lacks the right to set the time itself (%1).\n\n"
                          "Run GPS Quorvel with the right to set the time "
                          "(CAP_SYS_TIME, for example as an administrator).")
                           .arg(QString::fromLocal8Bit(std::strerror(error))),
                       Refusal::NotAllowed);
    } else {
        Q_EMIT refused(tr("The PC clock was not set: %1.").arg(QString::fromLocal8Bit(std::strerror(error))));
    }
}

QString TimedatedClock::explainRefusal(const QDBusError &error, bool synchronized)
{
    const QString name = error.name();
    if (name == QLatin1String("org.freedesktop.timedate1.AutomaticTimeSyncEnabled")) {
        if (synchronized) {
            return tr("The PC clock was not set: automatic time synchronization is enabled and has already "
                      "synchronized the clock, which keeps it closer to the true time than GPS sentences "
                      "can.");
        }
        return tr("The PC clock was not set: automatic time synchronization is enabled.\n\n"
                  "Turn it off (in the system's date and time settings, or with "
                  "\"timedatectl set-ntp false\") and press Sync PC Clock again.");
    }
    if (notAllowed(error)) {
        return tr("The PC clock was not set: you are not allowed to set the time (%1).\n\n"
                  "Ask an administrator for the right to set the system time, "
                  "or run GPS Quorvel with that right.")
            .arg(error.message());
    }
    return tr("The PC clock was not set: the time service answered \"%1\" (%2).").arg(error.message(), name);
}

} // namespace quorvel::clock
