// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mscomm.h"

#include "app/appinfo.h"
#include "settings/settingsstore.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace quorvel::link {

namespace {

// The process id in a serial device's lock file, where Qt and the other
// serial programs keep it (LCK..<path below /dev, '/' as '_'>, the process
// id on its first line); empty when there is none.
QString lockHolder(const QString &device)
{
    QStringList names;
    for (QString path : {QFileInfo(device).absoluteFilePath(), QFileInfo(device).canonicalFilePath()}) {
        if (path.startsWith(QLatin1String("/dev/")))
            path.remove(0, 5);
        names << path.replace(QLatin1Char('/'), QLatin1Char('_'));
    }
    for (const char *folder : {"/var/lock", "/run/lock", "/tmp", "/var/tmp"}) {
        for (const QString &name : names) {
            QFile lock(QLatin1String(folder) + QStringLiteral("/LCK..") + name);
            if (!lock.open(QIODevice::ReadOnly))
                continue;
            const QByteArray pid = lock.readLine().trimmed();
            if (!pid.isEmpty()
                && std::all_of(pid.cbegin(), pid.cend(), [](char c) { return c >= '0' && c <= '9'; }))
                return QString::fromLatin1(pid);
        }
    }
    return {};
}

} // namespace

MSComm::MSComm(const settings::SettingsStore &settings, QObject *parent)
    : SerialControl(parent)
    , m_settings(settings)
{
    m_port.setReadBufferSize(InBufferSize);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialControl::OnComm);
    connect(&m_port, &QSerialPort::errorOccurred, this, &MSComm::onError);
}

bool MSComm::setCommPort(int port)
{
    if (port < 1 || port > MaxPortNumber)
        return false;
    m_portNumber = port;
    return true;
}

int MSComm::CommPort() const
{
    return m_portNumber;
}

bool MSComm::PortOpen() const
{
    return m_port.isOpen();
}

QString MSComm::deviceFor(int port) const
{
    const QString fallback = QStringLiteral("/dev/ttyS%1").arg(port - 1);
    const QString device = m_settings
                               .readSetting(ApplicationName, QStringLiteral("Ports"),
                                            QStringLiteral("COM%1").arg(port), fallback)
                               .trimmed();
    return device.isEmpty() ? fallback : device;
}

QString MSComm::portLabel() const
{
    return QStringLiteral("COM %1 (%2)").arg(m_portNumber).arg(m_device);
}

bool MSComm::setPortOpen(bool open)
{
    if (open == m_port.isOpen())
        return true;
    if (!open) {
        m_port.close();
        return true;
    }

    m_device = deviceFor(m_portNumber);
    m_port.setPortName(m_device);
    m_port.setBaudRate(QSerialPort::Baud4800);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (m_port.open(QIODevice::ReadOnly))
        return true;

    const QString where = m_settings.location(ApplicationName);
    QString remedy;
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
        remedy = tr("Plug in the receiver, or name its device for COM %1 in %2, "
                    "for example:\n[Ports]\nCOM%1=/dev/ttyUSB0")
                     .arg(m_portNumber)
                     .arg(where);
        break;
    case QSerialPort::PermissionError:
        // A device we may read but cannot lock is held by another program.
        if (QFileInfo(m_device).isReadable()) {
            const QString holder = lockHolder(m_device);
            const QString who
                = holder.isEmpty() ? tr("another program") : tr("another program (process %1)").arg(holder);
            m_errorString = tr("%1 is in use by %2.\n\nClose that program (it may be another GPS Quorvel), "
                               "or choose another COM port, and try again.")
                                .arg(portLabel(), who);
            m_port.clearError();
            return false;
        }
        remedy = tr("Add your user to the group that owns %1 (usually dialout: "
                    "sudo adduser $USER dialout), then log out and in again.")
                     .arg(m_device);
        break;
    case QSerialPort::OpenError:
        remedy = tr("Another program may be using the port: close it and try again.");
        break;
    default:
        remedy = tr("Check the receiver's connection and try again.");
        break;
    }
    m_errorString = tr("%1 could not be opened: %2.\n\n%3").arg(portLabel(), m_port.errorString(), remedy);
    m_port.clearError();
    return false;
}

int MSComm::InBufferCount() const
{
    return static_cast<int>(m_port.bytesAvailable());
}

QByteArray MSComm::Input()
{
    return m_port.readAll();
}

QString MSComm::errorString() const
{
    return m_errorString;
}

void MSComm::onError(QSerialPort::SerialPortError error)
{
    // Errors of a failed opening are reported by setPortOpen. Any error while
    // open means the device is gone: a pulled USB adapter raises
    // ResourceError, a pseudo-terminal whose other end closed raises an
    // endless run of ReadError. Closing at the first one ends the run.
    if (error == QSerialPort::NoError || !m_port.isOpen())
        return;
    m_errorString = tr("The receiver on %1 stopped answering: %2.\n\n"
                       "The port has been closed and logging stopped; the logged positions are kept. "
                       "Check the receiver's cable and press Start Log again.")
                        .arg(portLabel(), m_port.errorString());
    if (m_port.bytesAvailable() > 0)
        Q_EMIT OnComm();
    m_port.close();
    m_port.clearError();
    Q_EMIT deviceLost();
}

} // namespace quorvel::link
