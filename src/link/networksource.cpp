// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "networksource.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>

namespace quorvel::link {

TcpSource::TcpSource(QString host, quint16 port, bool gpsd, QString gpsdDevice, QObject *parent)
    : Source(parent)
    , m_host(std::move(host))
    , m_port(port)
    , m_gpsd(gpsd)
    , m_gpsdDevice(std::move(gpsdDevice))
{
    connect(&m_socket, &QTcpSocket::connected, this, &TcpSource::onConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] {
        if (m_notifying)
            Q_EMIT readable();
    });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &TcpSource::onError);
}

bool TcpSource::open()
{
    m_atLineStart = true;
    m_inJson = false;
    m_socket.connectToHost(m_host, m_port, QIODevice::ReadWrite);
    return true;
}

void TcpSource::close()
{
    m_socket.disconnect(this);
    m_socket.abort();
}

void TcpSource::onConnected()
{
    if (!m_gpsd)
        return;
    // gpsd relays raw NMEA to a client that asks for it.
    QJsonObject watch{{QStringLiteral("enable"), true}, {QStringLiteral("nmea"), true}};
    if (!m_gpsdDevice.isEmpty())
        watch.insert(QStringLiteral("device"), m_gpsdDevice);
    m_socket.write("?WATCH=" + QJsonDocument(watch).toJson(QJsonDocument::Compact) + ";\n");
}

void TcpSource::onError()
{
    fail(Failure::Other, m_socket.errorString());
    Q_EMIT lost();
}

void TcpSource::readInto(QByteArray &buffer, qsizetype max)
{
    const qsizetype from = buffer.size();
    buffer += m_socket.read(max);
    if (m_gpsd)
        dropJson(buffer, from);
}

// gpsd's own messages are JSON objects, one a line, starting with '{'.
void TcpSource::dropJson(QByteArray &buffer, qsizetype from)
{
    qsizetype kept = from;
    for (qsizetype i = from; i < buffer.size(); ++i) {
        const char c = buffer[i];
        if (m_atLineStart && c == '{')
            m_inJson = true;
        m_atLineStart = c == '\n';
        if (!m_inJson)
            buffer[kept++] = c;
        if (c == '\n')
            m_inJson = false;
    }
    buffer.truncate(kept);
}

void TcpSource::setNotifying(bool on)
{
    m_notifying = on;
    if (on && m_socket.bytesAvailable() > 0)
        Q_EMIT readable();
}

UdpSource::UdpSource(QString address, quint16 port, QObject *parent)
    : Source(parent)
    , m_address(std::move(address))
    , m_port(port)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, [this] {
        if (m_notifying)
            Q_EMIT readable();
    });
}

bool UdpSource::open()
{
    const QHostAddress address
        = m_address.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(m_address);
    if (address.isNull())
        return fail(Failure::Other, tr("\"%1\" is not an address of this machine").arg(m_address));
    if (m_socket.bind(address, m_port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        // Datagrams wait in the kernel while a batch is gathered.
        m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 1 << 20);
        return true;
    }
    return fail(m_socket.error() == QAbstractSocket::AddressInUseError ? Failure::InUse : Failure::Other,
                m_socket.errorString());
}

void UdpSource::close()
{
    m_socket.close();
}

void UdpSource::readInto(QByteArray &buffer, qsizetype max)
{
    while (m_socket.hasPendingDatagrams() && max > 0) {
        QByteArray data = m_socket.receiveDatagram().data();
        // A datagram is whole: one that does not end a line must not run
        // into the next one.
        if (!data.isEmpty() && uchar(data.back()) >= 32)
            data += '\n';
        buffer += data;
        max -= data.size();
    }
}

void UdpSource::setNotifying(bool on)
{
    m_notifying = on;
    if (on && m_socket.hasPendingDatagrams())
        Q_EMIT readable();
}

} // namespace quorvel::link
