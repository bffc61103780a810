// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mscomm.h"

#include "app/appinfo.h"
#include "settings/settingsstore.h"
#include "ttysource.h"

namespace quorvel::link {

MSComm::MSComm(const settings::SettingsStore &settings, QObject *parent)
    : SerialControl(parent)
    , m_settings(settings)
{
    m_batch.setSingleShot(true);
    m_batch.setInterval(BatchMs);
    connect(&m_batch, &QTimer::timeout, this, &MSComm::readBatch);
}

MSComm::~MSComm() = default;

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
    return m_source != nullptr;
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
    if (open == PortOpen())
        return true;
    if (!open) {
        m_batch.stop();
        m_source.reset();
        return true;
    }

    m_device = deviceFor(m_portNumber);
    auto source = std::make_unique<TtySource>(m_device, 4800);
    if (source->open()) {
        m_source = std::move(source);
        connect(m_source.get(), &Source::readable, this, &MSComm::onReadable);
        connect(m_source.get(), &Source::lost, this, &MSComm::onLost);
        return true;
    }

    const QString where = m_settings.location(ApplicationName);
    QString remedy;
    switch (source->failure()) {
    case Source::Failure::NotFound:
        remedy = tr("Plug in the receiver, or name its device for COM %1 in %2, "
                    "for example:\n[Ports]\nCOM%1=/dev/ttyUSB0")
                     .arg(m_portNumber)
                     .arg(where);
        break;
    case Source::Failure::Permission:
        remedy = tr("Add your user to the group that owns %1 (usually dialout: "
                    "sudo adduser $USER dialout), then log out and in again.")
                     .arg(m_device);
        break;
    case Source::Failure::InUse:
        remedy = tr("Close that program (it may be another GPS Quorvel), or choose another COM port, "
                    "and try again.");
        break;
    default:
        remedy = tr("Check the receiver's connection and try again.");
        break;
    }
    m_errorString = tr("%1 could not be opened: %2.\n\n%3").arg(portLabel(), source->errorString(), remedy);
    return false;
}

int MSComm::InBufferCount() const
{
    return int(m_buffer.size());
}

QByteArray MSComm::Input()
{
    return std::exchange(m_buffer, {});
}

QString MSComm::errorString() const
{
    return m_errorString;
}

void MSComm::onReadable()
{
    // Gather for a while instead of waking at every byte.
    m_source->setNotifying(false);
    if (!m_batch.isActive())
        m_batch.start();
}

void MSComm::readBatch()
{
    if (!m_source)
        return;
    m_source->readInto(m_buffer, InBufferSize - m_buffer.size());
    if (m_buffer.isEmpty()) {
        // The receiver paused: wait for it without a timer.
        m_source->setNotifying(true);
        return;
    }
    m_batch.start(); // bytes are flowing: read again after the next interval
    Q_EMIT OnComm();
}

void MSComm::onLost()
{
    if (!m_source)
        return;
    m_errorString = tr("The receiver on %1 stopped answering: %2.\n\n"
                       "The port has been closed and logging stopped; the logged positions are kept. "
                       "Check the receiver's cable and press Start Log again.")
                        .arg(portLabel(), m_source->errorString());
    m_batch.stop();
    m_source.reset();
    if (!m_buffer.isEmpty())
        Q_EMIT OnComm();
    Q_EMIT deviceLost();
}

} // namespace quorvel::link
