// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "bursttiming.h"
#include "ratehunt.h"
#include "serialcontrol.h"
#include "source.h"
#include "sourcefactory.h"
#include "sourcespec.h"

#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace quorvel::settings {
class SettingsStore;
}

namespace quorvel::link {

// The serial control: port n reads the receiver that key "COM<n>" of section
// "Ports" in the settings names (a serial device, a TCP or UDP port, or
// gpsd; see SourceSpec), /dev/ttyS<n-1> without it. A serial device is read
// with 8 data bits, no parity and one stop bit, at a fixed rate or at the
// one found by trying (RateHunt), which is remembered in section "Rates".
//
// Received bytes are gathered for a few tens of milliseconds before OnComm
// is raised, however they trickle in: a receiver that sends one byte at a
// time costs one wakeup per batch, not one per byte. While bytes keep
// coming the control reads on a timer; when they stop it waits for the
// device again, and costs nothing.
//
// A receiver that sends more than the window can take is read as fast as it
// sends, and the newest bytes are kept: memory stays bounded, and what the
// window gets is never a backlog. notice() tells of it once.
//
// A receiver that goes away while open is waited for: the same source is
// opened again every two seconds until it is back. So is a network receiver
// that cannot be reached when the port opens; notice() says why.
//
// The control decides all of this itself; the sources it reads, and the
// devices it offers, come from a SourceFactory, which does the I/O.
class MSComm final : public SerialControl
{
    Q_OBJECT

public:
    static constexpr int MaxPortNumber = 255;
    // The receive buffer holds at most this many bytes: the newest.
    static constexpr qsizetype InBufferSize = 32766;
    // How long bytes are gathered before the window hears of them: often
    // enough that a sentence is seen to grow, seldom enough to cost nothing.
    static constexpr int BatchMs = 50;
    static constexpr int RetryMs = 2000;

    // The settings are those of `application`.
    MSComm(settings::SettingsStore &settings, QString application, std::unique_ptr<SourceFactory> sources,
           QObject *parent = nullptr);
    ~MSComm() override;

    // How long bytes are gathered, a source is waited for before it is
    // opened again, and a bit rate is tried; tests make them short.
    struct Timing
    {
        int batchMs = BatchMs;
        int retryMs = RetryMs;
        int patienceMs = RateHunt::PatienceMs;
    };
    void setTiming(const Timing &timing);
    // The PC's UTC clock that reads are stamped by; tests give their own.
    void setUtcClock(std::function<UtcTime()> now);

    bool setCommPort(int port) override;
    int CommPort() const override;
    bool PortOpen() const override;
    bool setPortOpen(bool open) override;
    int InBufferCount() const override;
    QByteArray Input() override;
    bool deliversWholeLines() const override;
    qint64 inputPosition() const override;
    bool timesBursts() const override { return true; }
    std::optional<BurstTiming::Burst> burstOf(qint64 position) const override;
    QString errorString() const override;
    bool receiverMissing() const override;
    QString portDescription(int port) const override;
    QList<Device> availableDevices() const override;

    // What port number `port` is set to read from, as the settings say it.
    QString deviceFor(int port) const;

private:
    enum class State { Closed, Open, Waiting };

    // Opens the source of the current port; on failure says why in
    // m_errorString (with the remedy) unless `quietly`.
    bool openSource(bool quietly);
    void onReadable();
    void readBatch();
    // Moves what the source has into the receive buffer.
    void take();
    void onLost();
    void onOpenFailed();
    void dropSource();
    void retry();
    void nextRate();
    QString portLabel() const;
    QString explainFailure(Source::Failure failure, const QString &reason) const;

    settings::SettingsStore &m_settings;
    const QString m_application;
    const std::unique_ptr<SourceFactory> m_sources;
    std::unique_ptr<Source> m_source; // while open
    State m_state = State::Closed;
    QTimer m_batch;
    QTimer m_retry;
    QTimer m_huntTimer;
    std::optional<RateHunt> m_hunt; // while a serial device's rate is sought
    std::optional<SourceSpec> m_spec; // of the open port
    QByteArray m_buffer;
    qint64 m_received = 0; // bytes since the port opened, up to the end of m_buffer
    qint64 m_inputPosition = 0; // of the last Input()
    BurstTiming m_bursts;
    std::function<UtcTime()> m_now;
    int m_portNumber = 1;
    QString m_device; // of the last opening, as the settings name it
    QString m_errorString;
    bool m_lossTold = false; // the receiver was told missing, deviceBack() not yet raised
    bool m_dropTold = false; // notice() of dropped data raised since the port opened
};

} // namespace quorvel::link
