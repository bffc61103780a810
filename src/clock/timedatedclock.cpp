// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "timedatedclock.h"

#include <QCoreApplication>
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

// While timedated waits for its unit job, asked again this often.
constexpr int PollMs = 250;

const QString Timedated = QStringLiteral("org.freedesktop.timedate1");
const QString TimedatedPath = QStringLiteral("/org/freedesktop/timedate1");
const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString AutomaticTimeSyncEnabled = QStringLiteral("org.freedesktop.timedate1.AutomaticTimeSyncEnabled");

QDBusMessage timedatedCall(const QString &interface, const QString &method)
{
    return QDBusMessage::createMethodCall(Timedated, TimedatedPath, interface, method);
}

// timedated refuses so, under the name of an enabled time sync, while the
// unit job of an earlier SetNTP goes on.
bool earlierRequestUnfinished(const QDBusError &error)
{
    return error.name() == AutomaticTimeSyncEnabled
        && error.message().startsWith(QLatin1String("Previous request is not finished"));
}

// polkit would ask for a password, but no authentication agent runs for the
// caller's session to ask it.
bool noAgent(const QDBusError &error)
{
    return error.name() == QLatin1String("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired");
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

// For a system's message set into a sentence of ours.
QString withoutFullStop(QString message)
{
    while (message.endsWith(QLatin1Char('.')))
        message.chop(1);
    return message;
}

std::chrono::milliseconds inMilliseconds(std::chrono::microseconds move)
{
    return std::chrono::round<std::chrono::milliseconds>(move);
}

} // namespace

TimedatedClock::TimedatedClock(QObject *parent)
    : SystemClock(parent)
{
    m_ntpPoll.setInterval(PollMs);
    connect(&m_ntpPoll, &QTimer::timeout, this, &TimedatedClock::checkNtp);
}

void TimedatedClock::setTime(std::chrono::microseconds move)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        setWithKernel(move);
        return;
    }
    QElapsedTimer firstSent;
    firstSent.start();
    sendSetTime(move, firstSent);
}

void TimedatedClock::sendSetTime(std::chrono::microseconds move, const QElapsedTimer &firstSent)
{
    QDBusMessage call = timedatedCall(Timedated, QStringLiteral("SetTime"));
    call << qint64(move.count()) << true /* relative */ << true /* interactive: polkit may ask */;
    call.setInteractiveAuthorizationAllowed(true);

    auto *watcher
        = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, move, firstSent] {
        watcher->deleteLater();
        const QDBusPendingReply<> reply = *watcher;
        if (!reply.isError()) {
            Q_EMIT timeSet(inMilliseconds(move).count());
            return;
        }
        const QDBusError error = reply.error();
        if (earlierRequestUnfinished(error)) {
            // The same move again: it is relative, so as right now as when
            // it was planned. Refused calls never reach polkit, so no
            // password is asked for until one passes.
            if (firstSent.elapsed() < BusyRetryMs) {
                QTimer::singleShot(PollMs, this, [this, move, firstSent] { sendSetTime(move, firstSent); });
                return;
            }
            Q_EMIT refused(tr("The PC clock was not set: the time service is still busy turning network time "
                              "synchronization off (it answered \"%1\").\n\n"
                              "Press Sync PC Clock again in a moment.")
                               .arg(error.message()),
                           Refusal::Busy);
            return;
        }
        if (withoutTimedated(error)) {
            // No timedated on this system. The move is relative, so applying
            // it now is as right as it was when the line arrived.
            setWithKernel(move);
            return;
        }
        if (error.name() == AutomaticTimeSyncEnabled) {
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
    const auto fail = [this, on](const QString &reason, Refusal refusal, const QString &advice = {}) {
        QString message = on ? tr("Network time synchronization could not be turned on: %1.").arg(reason)
                             : tr("The PC clock was not set: network time synchronization could not be "
                                  "turned off: %1.")
                                   .arg(reason);
        if (!advice.isEmpty())
            message += QStringLiteral("\n\n") + advice;
        Q_EMIT refused(message, refusal);
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
            waitForNtp(on);
            return;
        }
        const QDBusError error = reply.error();
        if (notAllowed(error))
            fail(withoutFullStop(error.message()), Refusal::NotAllowed, notAllowedAdvice(error));
        else
            fail(withoutFullStop(error.message()), Refusal::Other);
    });
}

void TimedatedClock::waitForNtp(bool on)
{
    m_waitingForNtp = true;
    m_ntpWanted = on;
    m_ntpWait.start();
    QDBusConnection::systemBus().connect(Timedated, TimedatedPath, Properties,
                                         QStringLiteral("PropertiesChanged"), this,
                                         SLOT(onTimedatedChanged(QString, QVariantMap, QStringList)));
    // The signal may have gone by already, or never come: it is read as well.
    m_ntpPoll.start();
    checkNtp();
}

void TimedatedClock::onTimedatedChanged(const QString &interface, const QVariantMap &changed,
                                        const QStringList &invalidated)
{
    const QString ntp = QStringLiteral("NTP");
    if (interface == Timedated && (changed.contains(ntp) || invalidated.contains(ntp)))
        checkNtp();
}

void TimedatedClock::checkNtp()
{
    if (!m_waitingForNtp)
        return;
    if (m_ntpWait.elapsed() >= NtpWaitMs) {
        // Given up waiting: the clock is tried all the same, and SetTime's
        // answer tells whether timedated has finished.
        endNtpWait();
        return;
    }
    readProperty(QStringLiteral("NTP"), [this](bool ntp) {
        if (m_waitingForNtp && ntp == m_ntpWanted)
            endNtpWait();
    });
}

void TimedatedClock::endNtpWait()
{
    m_waitingForNtp = false;
    m_ntpPoll.stop();
    QDBusConnection::systemBus().disconnect(Timedated, TimedatedPath, Properties,
                                            QStringLiteral("PropertiesChanged"), this,
                                            SLOT(onTimedatedChanged(QString, QVariantMap, QStringList)));
    Q_EMIT ntpSet(m_ntpWanted);
}

void TimedatedClock::checkSynchronized()
{
    readSynchronized([this](bool synchronized) { Q_EMIT synchronizedKnown(synchronized); });
}

void TimedatedClock::readSynchronized(std::function<void(bool)> answer)
{
    readProperty(QStringLiteral("NTPSynchronized"), std::move(answer));
}

void TimedatedClock::readProperty(const QString &name, std::function<void(bool)> answer)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        // Answered later, as over the bus.
        QMetaObject::invokeMethod(this, [answer] { answer(false); }, Qt::QueuedConnection);
        return;
    }
    QDBusMessage get = timedatedCall(Properties, QStringLiteral("Get"));
    get << Timedated << name;
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
    if (name == AutomaticTimeSyncEnabled) {
        if (synchronized) {
            return tr("The PC clock was not set: automatic time synchronization is enabled and has already "
                      "synchronized the clock, which keeps it closer to the true time than GPS sentences "
                      "can.");
        }
        return tr("The PC clock was not set: automatic time synchronization is enabled.\n\n"
                  "Turn it off (in the system's date and time settings, or with "
                  "\"timedatectl set-ntp false\") and press Sync PC Clock again.");
    }
    if (noAgent(error)) {
        return tr("The PC clock was not set: the system asks for a password to set the time (%1).\n\n%2")
            .arg(withoutFullStop(error.message()), notAllowedAdvice(error));
    }
    if (notAllowed(error)) {
        return tr("The PC clock was not set: you are not allowed to set the time (%1).\n\n"
                  "Ask an administrator for the right to set the system time, "
                  "or run GPS Quorvel with that right.")
            .arg(withoutFullStop(error.message()));
    }
    return tr("The PC clock was not set: the time service answered \"%1\" (%2).").arg(error.message(), name);
}

QString TimedatedClock::notAllowedAdvice(const QDBusError &error)
{
    if (!noAgent(error)) {
        return tr("Ask an administrator for the right to set the system time, or run GPS Quorvel with that "
                  "right.");
    }
    return tr("No password prompt could be shown: no polkit authentication agent runs for this session. "
              "Start GPS Quorvel from your desktop session, which shows the prompt; or run "
              "\"pkttyagent --process %1\" in a terminal, which asks there; or ask an administrator to let "
              "you set the time without a password (GPS Quorvel's README shows the rule).")
        .arg(QCoreApplication::applicationPid());
}

} // namespace quorvel::clock
