// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "source.h"

#include <QHostInfo>
#include <QTcpSocket>
#include <QUdpSocket>

namespace quorvel::link {

// NMEA over a TCP connection: a phone app or a multiplexer that serves it,
// or gpsd, which relays its receivers' raw NMEA to a client that asks.
// Opening starts to look up the host and connect: a connection that cannot
// be made is failed(), one that ends is lost(). What arrives is taken from
// the socket at once, whenever it comes, and the newest MaxHeld bytes kept:
// a sender faster than the window is never throttled into sending old data.
class TcpSource final : public Source
{
    Q_OBJECT

public:
    // With `gpsd`, asks gpsd for raw NMEA (of `gpsdDevice` alone, if given)
    // and drops gpsd's own JSON lines.
    TcpSource(QString host, quint16 port, bool gpsd, QString gpsdDevice = {}, QObject *parent = nullptr);

    bool open() override;
    void close() override;
    bool readInto(QByteArray &buffer, qsizetype max) override;
    void setNotifying(bool on) override;

private:
    void onConnected();
    void onReadyRead();
    void take();
    void onError();
    void dropJson(QByteArray &buffer, qsizetype from);

    QString m_host;
    quint16 m_port;
    bool m_gpsd;
    QString m_gpsdDevice;
    QTcpSocket m_socket;
    QByteArray m_held; // taken from the socket, not read yet
    bool m_dropped = false; // since the last read
    bool m_opening = false; // the connection is yet to be started
    bool m_connected = false;
    bool m_notifying = true;
    bool m_atLineStart = true;
    bool m_inJson = false;
};

// NMEA datagrams sent to a port of this machine (boat networks, phone apps),
// on every address or on one, given as a number or a name. A name is looked
// up without waiting: failed() follows if it names no address to listen on.
class UdpSource final : public Source
{
    Q_OBJECT

public:
    UdpSource(QString address, quint16 port, QObject *parent = nullptr);

    bool open() override;
    void close() override;
    bool readInto(QByteArray &buffer, qsizetype max) override;
    void setNotifying(bool on) override;

private:
    bool bind(const QHostAddress &address);
    void onLookedUp(const QHostInfo &host);

    QString m_address;
    quint16 m_port;
    QUdpSocket m_socket;
    bool m_notifying = true;
};

} // namespace quorvel::link
