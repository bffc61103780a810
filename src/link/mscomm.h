// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "serialcontrol.h"

#include <QSerialPort>

namespace quorvel::settings {
class SettingsStore;
}

namespace quorvel::link {

// The serial control over QSerialPort: 4800 bit/s, 8 data bits, no parity,
// one stop bit, no flow control, read only. Port n is the device named by
// key "COM<n>" of section "Ports" in the settings, /dev/ttyS<n-1> without it.
class MSComm final : public SerialControl
{
    Q_OBJECT

public:
    static constexpr int MaxPortNumber = 255;
    // The receive buffer holds at most this many bytes; more waits in the
    // kernel until the window has taken a batch.
    static constexpr qint64 InBufferSize = 32766;

    explicit MSComm(const settings::SettingsStore &settings, QObject *parent = nullptr);

    bool setCommPort(int port) override;
    int CommPort() const override;
    bool PortOpen() const override;
    bool setPortOpen(bool open) override;
    int InBufferCount() const override;
    QByteArray Input() override;
    QString errorString() const override;

    // The device that port number `port` stands for.
    QString deviceFor(int port) const;

private:
    void onError(QSerialPort::SerialPortError error);
    QString portLabel() const;

    const settings::SettingsStore &m_settings;
    QSerialPort m_port;
    int m_portNumber = 1;
    QString m_device; // of the last opening
    QString m_errorString;
};

} // namespace quorvel::link
