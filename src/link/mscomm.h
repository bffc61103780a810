// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "serialcontrol.h"

#include <QTimer>

#include <memory>

namespace quorvel::settings {
class SettingsStore;
}

namespace quorvel::link {

class Source;

// The serial control: port n is the receiver named by key "COM<n>" of
// section "Ports" in the settings, /dev/ttyS<n-1> without it, read at 4800
// bit/s, 8 data bits, no parity, one stop bit.
//
// Received bytes are gathered for a few tens of milliseconds before OnComm
// is raised, however they trickle in: a receiver that sends one byte at a
// time costs one wakeup per batch, not one per byte. While bytes keep
// coming the control reads on a timer; when they stop it waits for the
// device again, and costs nothing.
class MSComm final : public SerialControl
{
    Q_OBJECT

public:
    static constexpr int MaxPortNumber = 255;
    // The receive buffer holds at most this many bytes; more waits in the
    // kernel until the window has taken a batch.
    static constexpr qsizetype InBufferSize = 32766;
    // How long bytes are gathered before the window hears of them: often
    // enough that a sentence is seen to grow, seldom enough to cost nothing.
    static constexpr int BatchMs = 50;

    explicit MSComm(const settings::SettingsStore &settings, QObject *parent = nullptr);
    ~MSComm() override;

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
    void onReadable();
    void readBatch();
    void onLost();
    QString portLabel() const;

    const settings::SettingsStore &m_settings;
    std::unique_ptr<Source> m_source; // while open
    QTimer m_batch;
    QByteArray m_buffer;
    int m_portNumber = 1;
    QString m_device; // of the last opening
    QString m_errorString;
};

} // namespace quorvel::link
