// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Stand-ins for the serial control, the settings store and the clock, so the
// window can be driven from tests without hardware or a real clock.

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
    QByteArray Input() override { return std::exchange(buffer, {}); }
    bool deliversWholeLines() const override { return wholeLines; }
    bool receiverMissing() const override { return missing; }
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
        Q_EMIT notice(QStringLiteral("COM %1 could not be reached: connection refused.").arg(commPort));
    }

    int commPort = 1;
    bool open = false;
    bool missing = false;
    int openings = 0; // state changes, opening or closing
    QByteArray buffer;
    bool wholeLines = false; // as a network source delivers
    QList<int> refusedPorts;
    QList<Device> devices;
};

class FakeClock final : public clock::SystemClock
{
public:
    void setTimeOfDay(const QString &timeString) override
    {
        settings << timeString;
        if (watched)
            watchedTexts << watched->property("text").toString();
        if (!holdAnswers)
            Q_EMIT timeSet(movedMs);
    }
    void setTime(std::chrono::microseconds move) override
    {
        moves << move;
        if (!holdAnswers)
            Q_EMIT timeSet(std::chrono::round<std::chrono::milliseconds>(move).count());
    }
    void setNtp(bool on) override { Q_EMIT ntpSet(on); }
    void checkSynchronized() override { Q_EMIT synchronizedKnown(false); }
    QStringList settings;
    QList<std::chrono::microseconds> moves;
    bool holdAnswers = false; // the system answers only when the test says so
    qint64 movedMs = 800;
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
