// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Stand-ins for the serial control, the settings store and the clock, so the
// window can be driven from tests without hardware or a real clock.

#include "clock/clockadjustment.h"
#include "clock/systemclock.h"
#include "link/serialcontrol.h"
#include "support/memorysettingsstore.h"

#include <QMessageBox>
#include <QStringList>

namespace quorvel::test {

class FakeSerialControl final : public link::SerialControl
{
public:
    bool setCommPort(int port) override
    {
        if (port < 1 || port > 255)
            return false;
        commPort = port;
        return true;
    }
    int CommPort() const override { return commPort; }
    bool PortOpen() const override { return open; }
    bool setPortOpen(bool wanted) override
    {
        if (wanted && !open && refusedPorts.contains(commPort))
            return false;
        if (wanted != open)
            ++openings;
        open = wanted;
        return true;
    }
    int InBufferCount() const override { return int(buffer.size()); }
    QByteArray Input() override
    {
        position = received - buffer.size();
        return std::exchange(buffer, {});
    }
    qint64 inputPosition() const override { return position; }
    bool deliversWholeLines() const override { return wholeLines; }
    bool receiverMissing() const override { return missing; }
    std::optional<link::BurstTiming::Burst> burstOf(qint64 at) const override
    {
        if (!burstEpoch)
            return std::nullopt;
        return link::BurstTiming::Burst{at, *burstEpoch};
    }
    QString errorString() const override { return QStringLiteral("COM %1 cannot be opened").arg(commPort); }
    QString portDescription(int port) const override
    {
        return QStringLiteral("COM %1 reads a fake").arg(port);
    }
    QList<Device> availableDevices() const override { return devices; }

    // Bytes from the receiver; like a real port, nothing arrives while closed.
    void receive(const QByteArray &bytes)
    {
        if (!open)
            return;
        buffer += bytes;
        received += bytes.size();
        Q_EMIT OnComm();
    }
    // The receiver goes away; the control waits for it, as the real one does.
    void loseDevice()
    {
        missing = true;
        Q_EMIT deviceLost();
    }
    void comeBack()
    {
        missing = false;
        Q_EMIT deviceBack();
    }
    // A network receiver that cannot be reached: the control tells and tries again.
    void notReached()
    {
        missing = true;
        Q_EMIT notice(QStringLiteral("COM %1 could not be reached: connection refused.").arg(commPort),
                      QString());
    }

    int commPort = 1;
    bool open = false;
    bool missing = false;
    int openings = 0; // state changes, opening or closing
    QByteArray buffer;
    qint64 received = 0; // bytes, numbered as a real control numbers them
    qint64 position = 0; // of the last Input()
    bool wholeLines = false; // as a network source delivers
    std::optional<link::UtcTime> burstEpoch; // when the bursts received began, if told
    QList<int> refusedPorts;
    QList<Device> devices;
};

class FakeClock final : public clock::SystemClock
{
public:
    void setTime(std::chrono::microseconds move) override
    {
        moves << move;
        // The time of day (UTC, TZ=UTC in the tests) the clock would show
        // now, to the hundredth.
        const auto moved
            = std::chrono::round<std::chrono::milliseconds>(now.value_or(clock::pcUtcNow()) + move);
        const qint64 hundredths = (moved.time_since_epoch().count() + 5) / 10;
        settings << QDateTime::fromMSecsSinceEpoch(hundredths * 10, QTimeZone::utc())
                        .toString(QStringLiteral("hh:mm:ss.zzz"))
                        .chopped(1);
        if (watched)
            watchedTexts << watched->property("text").toString();
        if (!refusal.isEmpty()) {
            Q_EMIT refused(refusal, Refusal::NotAllowed);
            return;
        }
        if (ntpOn) {
            Q_EMIT refused(QStringLiteral("Automatic time synchronization is enabled."),
                           Refusal::NetworkTimeOn);
            return;
        }
        if (!holdAnswers)
            Q_EMIT timeSet(std::chrono::round<std::chrono::milliseconds>(move).count());
    }
    void setNtp(bool on) override
    {
        ntp << on;
        ntpOn = on;
        Q_EMIT ntpSet(on);
    }
    void checkSynchronized() override { Q_EMIT synchronizedKnown(synchronized); }
    // The local times of day set, "hh:mm:ss.zz".
    QStringList settings;
    QList<bool> ntp; // network time turned on or off
    bool synchronized = false;
    bool ntpOn = false; // network time holds the clock, unsynchronized: settings are refused
    // The PC's clock when a move is asked for, where a test fixes it (a move
    // that waits for an answer); else the real one.
    std::optional<clock::UtcTime> now;
    QList<std::chrono::microseconds> moves;
    bool holdAnswers = false; // the system answers only when the test says so
    QString refusal; // the system refuses every setting with it
    // What a control of the window showed at each setting.
    QObject *watched = nullptr;
    QStringList watchedTexts;
};

// The texts of the message boxes a window shows without waiting.
inline QStringList visibleNotices(const QWidget &window)
{
    QStringList texts;
    for (QMessageBox *box : window.findChildren<QMessageBox *>()) {
        if (box->isVisible())
            texts << box->text();
    }
    return texts;
}

} // namespace quorvel::test
