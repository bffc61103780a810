// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "networksource.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>

#include <algorithm>
#include <utility>

namespace quorvel::link {

TcpSource::TcpSource(QString host, quint16 port, bool gpsd, QString gpsdDevice, QObject *parent)
    : Source(parent)
    , m_host(std::move(host))
    , m_port(port)
    , m_gpsd(gpsd)
    , m_gpsdDevice(std::move(gpsdDevice))
{
    // Qt takes no more than this from the kernel at a time; what it took is
    // moved on at once, so it keeps reading as fast as bytes come.
    m_socket.setReadBufferSize(MaxHeld);
    connect(&m_socket, &QTcpSocket::connected, this, &TcpSource::onConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &TcpSource::onReadyRead);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &TcpSource::onError);
}

bool TcpSource::open()
{
    m_atLineStart = true;
    m_inJson = false;
    m_connected = false;
    m_held.clear();
    m_opening = true;
    // Connected from the event loop: a connection the system refuses at
    // once (a broadcast address, no route) is then failed() like one refused
    // later, when the control already listens.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (std::exchange(m_opening, false))
                m_socket.connectToHost(m_host, m_port, QIODevice::ReadWrite);
        },
        Qt::QueuedConnection);
    return true;
}

void TcpSource::close()
{
    m_opening = false;
    m_socket.disconnect(this);
    m_socket.abort();
}

void TcpSource::onConnected()
{
    m_connected = true;
    if (!m_gpsd)
        return;
    // gpsd relays raw NMEA to a client that asks for it.
    QJsonObject watch{{QStringLiteral("enable"), true}, {QStringLiteral("nmea"), true}};
    if (!m_gpsdDevice.isEmpty())
        watch.insert(QStringLiteral("device"), m_gpsdDevice);
    m_socket.write("?WATCH=" + QJsonDocument(watch).toJson(QJsonDocument::Compact) + ";\n");
}

void TcpSource::onReadyRead()
{
    take();
    if (m_notifying && !m_held.isEmpty())
        Q_EMIT readable();
}

// Takes everything the socket has, whether the control reads now or later.
// Left in the socket, bytes the control cannot take yet would pile up there,
// or, with Qt's buffer bounded, in the kernel and the sender: a backlog
// that grows without end and is read ever later.
void TcpSource::take()
{
    if (m_socket.bytesAvailable() <= 0)
        return;
    const qsizetype from = m_held.size();
    m_held += m_socket.readAll();
    if (m_gpsd)
        dropJson(m_held, from);
    if (keepNewest(m_held, 0, MaxHeld))
        m_dropped = true;
}

void TcpSource::onError()
{
    // What came before the connection ended is still in the socket.
    take();
    if (!m_connected) {
        fail(Failure::Unreachable, m_socket.errorString());
        Q_EMIT failed();
        return;
    }
    fail(Failure::Other, m_socket.errorString());
    Q_EMIT lost();
}

bool TcpSource::readInto(QByteArray &buffer, qsizetype max)
{
    take();
    const qsizetype from = buffer.size();
    buffer += std::exchange(m_held, {});
    const bool dropped = keepNewest(buffer, from, max);
    return std::exchange(m_dropped, false) || dropped;
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
    if (!on)
        return;
    take();
    if (!m_held.isEmpty())
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
    if (m_address.isEmpty())
        return bind(QHostAddress(QHostAddress::Any));
    if (const QHostAddress address(m_address); !address.isNull())
        return bind(address);
    QHostInfo::lookupHost(m_address, this, &UdpSource::onLookedUp);
    return true;
}

bool UdpSource::bind(const QHostAddress &address)
{
    if (m_socket.bind(address, m_port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        // Datagrams wait in the kernel while a batch is gathered.
        m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 1 << 20);
        return true;
    }
    return fail(m_socket.error() == QAbstractSocket::AddressInUseError ? Failure::InUse : Failure::Other,
                m_socket.errorString());
}

void UdpSource::onLookedUp(const QHostInfo &host)
{
    if (host.error() != QHostInfo::NoError || host.addresses().isEmpty()) {
        fail(Failure::Unreachable, host.errorString());
        Q_EMIT failed();
        return;
    }
    // A name such as localhost has an IPv4 and an IPv6 address; senders
    // mostly send to the IPv4 one.
    QList<QHostAddress> addresses = host.addresses();
    std::stable_partition(addresses.begin(), addresses.end(), [](const QHostAddress &address) {
        return address.protocol() == QAbstractSocket::IPv4Protocol;
    });
    for (const QHostAddress &address : std::as_const(addresses)) {
        if (bind(address))
            return;
    }
    Q_EMIT failed();
}

void UdpSource::close()
{
    m_socket.close();
}

bool UdpSource::readInto(QByteArray &buffer, qsizetype max)
{
    // Every datagram waiting, not only `max` bytes of them: those left
    // behind are older than any that follow. A sender as fast as this loop
    // cannot keep it going.
    const qsizetype from = buffer.size();
    while (m_socket.hasPendingDatagrams() && buffer.size() - from < 4 * MaxHeld) {
        QByteArray data = m_socket.receiveDatagram().data();
        // A datagram is whole: one that does not end a line must not run
        // into the next one.
        if (!data.isEmpty() && uchar(data.back()) >= 32)
            data += '\n';
        buffer += data;
    }
    return keepNewest(buffer, from, max);
}

void UdpSource::setNotifying(bool on)
{
    m_notifying = on;
    if (on && m_socket.hasPendingDatagrams())
        Q_EMIT readable();
}

} // namespace quorvel::link
