// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "systemsources.h"

#include "networksource.h"
#include "ttysource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

namespace quorvel::link {

std::unique_ptr<Source> SystemSources::make(const SourceSpec &spec, int rate)
{
    using Kind = SourceSpec::Kind;
    if (spec.kind == Kind::Serial)
        return std::make_unique<TtySource>(spec.device, rate);
    if (spec.kind == Kind::Udp)
        return std::make_unique<UdpSource>(spec.host, spec.port);
    return std::make_unique<TcpSource>(spec.host, spec.port, spec.kind == Kind::Gpsd, spec.device);
}

QList<SerialControl::Device> SystemSources::availableDevices() const
{
    // USB devices are best named by /dev/serial/by-id, which follows the
    // device to any socket; some bridges give every unit the same serial
    // number, and then only one of them has that name: the others are named
    // by the socket they are in (by-path), or else by their plain name.
    QHash<QString, QString> byId, byPath;
    for (const auto &[folder, names] : {std::pair{QStringLiteral("/dev/serial/by-id"), &byId},
                                        std::pair{QStringLiteral("/dev/serial/by-path"), &byPath}}) {
        for (const QFileInfo &link : QDir(folder).entryInfoList(QDir::System | QDir::Files))
            names->insert(link.canonicalFilePath(), link.absoluteFilePath());
    }
    QList<SerialControl::Device> devices;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString plain = info.systemLocation();
        const QString canonical = QFileInfo(plain).canonicalFilePath();
        QString path = byId.value(canonical, byPath.value(canonical, plain));
        QStringList about;
        if (!info.description().isEmpty())
            about << info.description();
        if (!info.manufacturer().isEmpty())
            about << info.manufacturer();
        if (path != plain)
            about << plain;
        devices.append({path, about.join(QStringLiteral(", "))});
    }
    return devices;
}

bool SystemSources::gpsdListens() const
{
    // The kernel's tables of TCP sockets say so at once; a connection to
    // find out could keep the window waiting.
    constexpr char Listen[] = "0A";
    const QByteArray port = QByteArray::number(GpsdPort, 16).toUpper().rightJustified(4, '0');
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // "  0: 0100007F:0B83 00000000:0000 0A ...": local address and port, remote, state.
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() > 3 && fields[1].endsWith(':' + port) && fields[3] == Listen)
                return true;
        }
    }
    return false;
}

} // namespace quorvel::link
