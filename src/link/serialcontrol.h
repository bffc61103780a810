// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "bursttiming.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace quorvel::link {

// The serial communications control the window reads the receiver through:
// a port number chosen while closed, an open state, and a receive buffer
// that is drained in batches whenever OnComm is raised.
class SerialControl : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Chooses the port for the next opening. Returns false, and keeps the
    // previous number, for a number the control does not serve.
    virtual bool setCommPort(int port) = 0;
    virtual int CommPort() const = 0;

    virtual bool PortOpen() const = 0;
    // Opens or closes the port; asking for the state it already has changes
    // nothing. Returns false when the port could not be opened; errorString()
    // then says why and what to do.
    virtual bool setPortOpen(bool open) = 0;

    // Received bytes waiting, and all of them taken at once, one character
    // per byte.
    virtual int InBufferCount() const = 0;
    virtual QByteArray Input() = 0;
    // Whether the open source hands over whole lines (a network connection,
    // gpsd) rather than a stream that may stop mid-sentence (a serial line).
    virtual bool deliversWholeLines() const = 0;

    // The port is open but its receiver is not there: it went away, or could
    // not be reached, and is tried again.
    virtual bool receiverMissing() const = 0;

    // Received bytes are numbered from the port's opening on: the number of
    // the first byte the last Input() gave.
    virtual qint64 inputPosition() const { return 0; }
    // The receiver's burst that holds byte `position` of what Input() gave:
    // when its first byte arrived on the PC's UTC clock (BurstTiming).
    // Nothing where the control does not time what it receives
    // (timesBursts()), or where the burst is not known.
    virtual bool timesBursts() const { return false; }
    virtual std::optional<BurstTiming::Burst> burstOf(qint64 position) const
    {
        Q_UNUSED(position);
        return std::nullopt;
    }

    // A message for the user about the last failed opening or the lost device.
    virtual QString errorString() const = 0;

    // What port `port` reads from, for its button's tooltip: the device or
    // connection, and for the open port how it is going (the bit rate in use).
    virtual QString portDescription(int port) const = 0;

    // A serial device present on this machine, as a user may choose it.
    struct Device
    {
        QString path; // the name to store: stable where the system gives one
        QString description; // what the system knows of it, maker included
    };
    virtual QList<Device> availableDevices() const = 0;

Q_SIGNALS:
    // Raised after bytes have arrived while the port is open.
    void OnComm();
    // The receiver went away while open (unplugged, connection closed).
    // Bytes that arrived before were offered first. The port stays open and
    // waits: deviceBack() follows when the receiver is there again.
    // errorString() says what happened.
    void deviceLost();
    void deviceBack();
    // Something the user should know that asks for nothing, for the status
    // line: received data was dropped because more came than the window
    // can take (the newest is kept), or a receiver could not be reached and
    // is tried again. `message` fits two short lines; `details` is the
    // whole of it.
    void notice(const QString &message, const QString &details);
    // portDescription() has changed.
    void portChanged();
};

} // namespace quorvel::link
