// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mscomm.h"

#include "settings/settingsstore.h"
#include "text/reasontext.h"

#include <QLocale>

namespace quorvel::link {

namespace {

const QString RatesSection = QStringLiteral("Rates");

} // namespace

MSComm::MSComm(settings::SettingsStore &settings, QString application, std::unique_ptr<SourceFactory> sources,
               QObject *parent)
    : SerialControl(parent)
    , m_settings(settings)
    , m_application(std::move(application))
    , m_sources(std::move(sources))
    , m_now([] {
        return std::chrono::time_point_cast<std::chrono::microseconds>(std::chrono::system_clock::now());
    })
{
    // While bytes flow the batches follow each other exactly BatchMs apart:
    // a coarse timer, restarted after each batch, fires up to 5 % early,
    // and every batch costs a repaint.
    m_batch.setTimerType(Qt::PreciseTimer);
    m_batch.setInterval(BatchMs);
    connect(&m_batch, &QTimer::timeout, this, &MSComm::readBatch);
    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &MSComm::retry);
    m_huntTimer.setSingleShot(true);
    m_huntTimer.setInterval(RateHunt::PatienceMs);
    connect(&m_huntTimer, &QTimer::timeout, this, &MSComm::nextRate);
}

MSComm::~MSComm() = default;

void MSComm::setUtcClock(std::function<UtcTime()> now)
{
    m_now = std::move(now);
}

void MSComm::setTiming(const Timing &timing)
{
    m_batch.setInterval(timing.batchMs);
    m_retry.setInterval(timing.retryMs);
    m_huntTimer.setInterval(timing.patienceMs);
}

bool MSComm::setCommPort(int port)
{
    if (port < 1 || port > MaxPortNumber)
        return false;
    m_portNumber = port;
    Q_EMIT portChanged();
    return true;
}

int MSComm::CommPort() const
{
    return m_portNumber;
}

bool MSComm::PortOpen() const
{
    return m_state != State::Closed;
}

QString MSComm::deviceFor(int port) const
{
    const QString fallback = QStringLiteral("/dev/ttyS%1").arg(port - 1);
    const QString device
        = m_settings.readSetting(m_application, PortsSection, portKey(port), fallback).trimmed();
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
        m_retry.stop();
        m_huntTimer.stop();
        m_hunt.reset();
        m_source.reset();
        // What was read and not yet handed over is from before the close:
        // only what arrives after the next open is read.
        m_buffer.clear();
        m_state = State::Closed;
        m_lossTold = false;
        m_dropTold = false;
        Q_EMIT portChanged();
        return true;
    }
    m_device = deviceFor(m_portNumber);
    if (!openSource(false))
        return false;
    m_state = State::Open;
    Q_EMIT portChanged();
    return true;
}

bool MSComm::openSource(bool quietly)
{
    const auto parsed = parseSourceSpec(m_device);
    if (const QString *problem = std::get_if<QString>(&parsed)) {
        m_errorString = tr("COM %1 cannot be opened. %2").arg(m_portNumber).arg(*problem);
        return false;
    }
    const SourceSpec spec = std::get<SourceSpec>(parsed);
    m_hunt.reset(); // only a serial device without a fixed rate is hunted
    // The rate found last time for this device, or 4800 as receivers
    // traditionally send; a fixed rate is used as it is.
    int rate = spec.rate.value_or(4800);
    if (spec.kind == SourceSpec::Kind::Serial && !spec.rate) {
        const int remembered = m_settings.readSetting(m_application, RatesSection, spec.device, {}).toInt();
        if (isSupportedRate(remembered))
            rate = remembered;
        m_hunt.emplace(rate);
    }
    std::unique_ptr<Source> source = m_sources->make(spec, rate);
    if (!source->open()) {
        if (!quietly)
            m_errorString = explainFailure(source->failure(), source->errorString());
        m_hunt.reset();
        return false;
    }
    m_spec = spec;
    m_source = std::move(source);
    m_bursts.reset(m_now());
    connect(m_source.get(), &Source::readable, this, &MSComm::onReadable);
    connect(m_source.get(), &Source::lost, this, &MSComm::onLost);
    connect(m_source.get(), &Source::failed, this, &MSComm::onOpenFailed);
    if (m_hunt)
        m_huntTimer.start();
    return true;
}

QString MSComm::explainFailure(Source::Failure failure, const QString &reason) const
{
    const QString where = m_settings.location(m_application);
    QString remedy;
    switch (failure) {
    case Source::Failure::NotFound:
        remedy = tr("Plug in the receiver, or choose its device for COM %1 with a right-click on the COM "
                    "button, or name it in %2, for example:\n[Ports]\nCOM%1=/dev/ttyUSB0")
                     .arg(m_portNumber)
                     .arg(where);
        break;
    case Source::Failure::Permission:
        remedy = tr("Add your user to the group that owns %1 (usually dialout: "
                    "sudo adduser $USER dialout), then log out and in again.")
                     .arg(m_device);
        break;
    case Source::Failure::InUse:
        remedy = m_sources->gpsdListens()
            ? tr("gpsd is running on this machine and may hold the receiver. Read it through gpsd: "
                 "right-click the COM button, choose \"Network or gpsd source\" and enter gpsd://localhost.")
            : tr("Close that program (it may be another GPS Quorvel), or choose another COM port, "
                 "and try again.");
        break;
    default:
        remedy = tr("Check the receiver's connection and try again.");
        break;
    }
    return tr("%1 could not be opened: %2.\n\n%3").arg(portLabel(), reason, remedy);
}

int MSComm::InBufferCount() const
{
    return int(m_buffer.size());
}

QByteArray MSComm::Input()
{
    m_inputPosition = m_received - m_buffer.size();
    return std::exchange(m_buffer, {});
}

qint64 MSComm::inputPosition() const
{
    return m_inputPosition;
}

std::optional<BurstTiming::Burst> MSComm::burstOf(qint64 position) const
{
    return m_bursts.burstOf(position);
}

bool MSComm::deliversWholeLines() const
{
    return m_state != State::Closed && m_spec && m_spec->kind != SourceSpec::Kind::Serial;
}

bool MSComm::receiverMissing() const
{
    return m_state == State::Waiting;
}

QString MSComm::errorString() const
{
    return m_errorString;
}

void MSComm::onReadable()
{
    // What is there is taken at once: a pseudo-terminal's writer that sends
    // and closes takes what was not read with it. Then the control gathers
    // for a while instead of waking at every byte.
    m_source->setNotifying(false);
    take();
    if (!m_batch.isActive())
        m_batch.start();
}

void MSComm::readBatch()
{
    if (!m_source)
        return;
    take();
    if (m_buffer.isEmpty()) {
        // The receiver paused: wait for it without a timer.
        m_batch.stop();
        m_source->setNotifying(true);
        return;
    }
    Q_EMIT OnComm();
}

void MSComm::take()
{
    const qsizetype before = m_buffer.size();
    // Stamped between asking what waits and reading it: what the read gets
    // beyond that arrived after the stamp.
    const qsizetype waiting = m_source->bytesWaiting();
    const UtcTime at = m_now();
    bool dropped = m_source->readInto(m_buffer, InBufferSize);
    const qsizetype got = m_buffer.size() - before;
    m_received += got;
    if (dropped)
        m_bursts.forget(); // what is left was not timed as it came
    m_bursts.read(QByteArrayView(m_buffer).sliced(before), m_received - got, at, waiting,
                  m_source->bitRate());
    if (m_buffer.size() > before) {
        if (m_lossTold) {
            m_lossTold = false;
            Q_EMIT deviceBack();
        }
        if (m_hunt && !m_hunt->found() && m_hunt->received(QByteArrayView(m_buffer).sliced(before))) {
            m_huntTimer.stop();
            m_settings.writeSetting(m_application, RatesSection, m_spec->device,
                                    QString::number(m_hunt->rate()));
            Q_EMIT portChanged();
        }
    }
    // The window has not taken what came before: the newest count.
    dropped = keepNewest(m_buffer, 0, InBufferSize) || dropped;
    if (dropped && !m_dropTold) {
        m_dropTold = true;
        Q_EMIT notice(tr("COM %1 sends more than is shown: older data is dropped.").arg(m_portNumber),
                      tr("COM %1 receives more than the window can show: the newest data is used, "
                         "older data is dropped.")
                          .arg(m_portNumber));
    }
}

void MSComm::nextRate()
{
    if (!m_hunt || m_hunt->found())
        return;
    m_source->setRate(m_hunt->next());
    m_huntTimer.start();
    Q_EMIT portChanged();
}

void MSComm::onLost()
{
    if (m_state != State::Open)
        return;
    // What came before the loss reaches the window before the loss does.
    take();
    const QString reason = m_source->errorString();
    dropSource();
    if (!m_buffer.isEmpty())
        Q_EMIT OnComm();
    if (m_state != State::Waiting)
        return; // the window closed the port on what came last (a stop rule met)
    Q_EMIT portChanged();
    if (m_lossTold)
        return; // a connection that failed again while we wait
    m_lossTold = true;
    m_errorString = tr("The receiver on %1 went away: %2.").arg(portLabel(), reason);
    Q_EMIT deviceLost();
}

void MSComm::onOpenFailed()
{
    if (m_state != State::Open)
        return;
    const QString reason = text::reasonText(m_source->errorString());
    const bool listening = m_spec && m_spec->kind == SourceSpec::Kind::Udp;
    dropSource();
    Q_EMIT portChanged();
    if (m_lossTold)
        return; // tried again while we wait: nothing new to tell
    m_lossTold = true;
    m_errorString = (listening ? tr("%1 could not be opened: %2.") : tr("%1 could not be reached: %2."))
                        .arg(portLabel(), reason);
    Q_EMIT notice((listening ? tr("COM %1 could not be opened: %2; trying again.")
                             : tr("COM %1 could not be reached: %2; trying again."))
                      .arg(m_portNumber)
                      .arg(reason),
                  m_errorString + QLatin1Char(' ')
                      + tr("Trying again every %1 seconds.").arg(RetryMs / 1000));
}

// The source failed or went away: it is dropped, and opened again later.
void MSComm::dropSource()
{
    m_batch.stop();
    m_huntTimer.stop();
    m_source->disconnect(this);
    m_source.release()->deleteLater(); // it is raising the signal we are in
    m_state = State::Waiting;
    m_retry.start();
}

void MSComm::retry()
{
    if (m_state != State::Waiting)
        return;
    if (openSource(true)) {
        m_state = State::Open;
        Q_EMIT portChanged();
        return;
    }
    m_retry.start();
}

QString MSComm::portDescription(int port) const
{
    const QString source = deviceFor(port);
    if (port != m_portNumber || m_state == State::Closed)
        return tr("COM %1 reads %2").arg(port).arg(source);
    if (m_state == State::Waiting)
        return tr("COM %1 reads %2: waiting for the receiver to come back").arg(port).arg(source);
    if (m_hunt) {
        const QString rate = QLocale().toString(m_hunt->rate());
        return m_hunt->found()
            ? tr("COM %1 reads %2 at %3 bit/s (found by trying)").arg(port).arg(source, rate)
            : tr("COM %1 reads %2: trying %3 bit/s").arg(port).arg(source, rate);
    }
    if (m_spec && m_spec->kind == SourceSpec::Kind::Serial)
        return tr("COM %1 reads %2 at %3 bit/s")
            .arg(port)
            .arg(m_spec->device, QLocale().toString(*m_spec->rate));
    return tr("COM %1 reads %2").arg(port).arg(source);
}

QList<SerialControl::Device> MSComm::availableDevices() const
{
    return m_sources->availableDevices();
}

} // namespace quorvel::link
