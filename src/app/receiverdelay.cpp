// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "receiverdelay.h"

#include "app/appinfo.h"
#include "clock/clocksync.h"
#include "clock/systemclock.h"
#include "link/serialcontrol.h"
#include "link/sourcespec.h"
#include "settings/settingsstore.h"

#include <QInputDialog>
#include <QMenu>
#include <QPushButton>

#include <optional>

namespace quorvel {

namespace {

const QString ClockSection = QStringLiteral("Clock");
const QString HandKey = QStringLiteral("ReceiverDelayMs");
const QString MeasuredSection = QStringLiteral("MeasuredDelays");

// Whole milliseconds within the range a receiver may take; nothing else.
std::optional<int> delayMs(const QString &text)
{
    bool ok = false;
    const int ms = text.trimmed().toInt(&ok);
    return ok && ms >= 0 && ms <= ReceiverDelay::MaxDelayMs ? std::optional<int>(ms) : std::nullopt;
}

} // namespace

ReceiverDelay::ReceiverDelay(QPushButton *syncButton, settings::SettingsStore &settings,
                             const link::SerialControl &serial, clock::SystemClock &systemClock,
                             clock::ClockSync &sync, QWidget *window)
    : QObject(window)
    , m_button(syncButton)
    , m_settings(settings)
    , m_serial(serial)
    , m_window(window)
{
    m_button->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_button, &QPushButton::customContextMenuRequested, this,
            [this](const QPoint &at) { showMenu(m_button->mapToGlobal(at)); });
    connect(&systemClock, &clock::SystemClock::synchronizedKnown, this, [this](bool synchronized) {
        m_measuring = synchronized;
        m_delays.clear();
    });
    connect(&sync, &clock::ClockSync::timed, this, &ReceiverDelay::onBurstTimed);
}

ReceiverDelay::Delay ReceiverDelay::delay() const
{
    using std::chrono::milliseconds;
    if (const auto hand = delayMs(m_settings.readSetting(ApplicationName, ClockSection, HandKey, {})))
        return {milliseconds(*hand), Origin::Hand};
    if (const auto measured
        = delayMs(m_settings.readSetting(ApplicationName, MeasuredSection, receiverName(), {})))
        return {milliseconds(*measured), Origin::Measured};
    return {};
}

void ReceiverDelay::stopMeasuring()
{
    m_measuring = false;
    m_delays.clear();
}

void ReceiverDelay::onBurstTimed(const nmea::TimeOfDay &gpsTime, link::UtcTime epoch)
{
    if (!m_measuring)
        return;
    const std::optional<std::chrono::milliseconds> delay = m_delays.add(gpsTime, epoch);
    if (!delay)
        return;
    // A delay measured for the receiver in use is remembered.
    const QString value = QString::number(delay->count());
    if (m_settings.readSetting(ApplicationName, MeasuredSection, receiverName(), {}) != value)
        write(MeasuredSection, receiverName(), value);
}

QString ReceiverDelay::receiverName() const
{
    const int port = m_serial.CommPort();
    const QString named
        = m_settings.readSetting(ApplicationName, link::PortsSection, link::portKey(port), {}).trimmed();
    return named.isEmpty() ? QStringLiteral("/dev/ttyS%1").arg(port - 1) : named;
}

void ReceiverDelay::showMenu(const QPoint &at)
{
    const Delay inUse = delay();
    QString origin;
    switch (inUse.origin) {
    case Origin::Hand:
        origin = tr("%1 ms, set by hand").arg(inUse.delay.count());
        break;
    case Origin::Measured:
        origin = tr("%1 ms, measured for this receiver").arg(inUse.delay.count());
        break;
    case Origin::None:
        origin = tr("0 ms, not measured yet");
        break;
    }
    auto *menu = new QMenu(m_window);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(tr("Receiver &delay\u2026 (%1)").arg(origin), this, &ReceiverDelay::askDelay);
    Q_EMIT menuOpening(menu);
    menu->popup(at);
}

void ReceiverDelay::askDelay()
{
    bool ok = false;
    const int ms = QInputDialog::getInt(
        m_window, tr("Receiver delay"),
        tr("The time from the UTC second to the first byte the receiver sends for it,\n"
           "in whole milliseconds from 0 to %1 (receivers: 50 to 500). It is added when\n"
           "the clock is set.\n\n"
           "While the PC's clock is synchronised to network time, GPS Quorvel measures it\n"
           "for each receiver; a delay set here is used instead.")
            .arg(MaxDelayMs),
        int(delay().delay.count()), 0, MaxDelayMs, 1, &ok);
    if (ok)
        write(ClockSection, HandKey, QString::number(ms));
}

bool ReceiverDelay::write(const QString &section, const QString &key, const QString &value)
{
    if (m_settings.writeSetting(ApplicationName, section, key, value))
        return true;
    Q_EMIT failed(tr("The receiver delay could not be saved to %1: %2.")
                      .arg(m_settings.location(ApplicationName), m_settings.errorString()));
    return false;
}

} // namespace quorvel
