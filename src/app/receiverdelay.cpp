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

#include <optional>
#include <utility>

namespace quorvel {

namespace {

const QString ClockSection = QStringLiteral("Clock");
// Where earlier versions kept a delay set by hand, for every receiver.
const QString EveryReceiverKey = QStringLiteral("ReceiverDelayMs");
const QString HandSection = QStringLiteral("HandDelays");
const QString MeasuredSection = QStringLiteral("MeasuredDelays");

// Whole milliseconds within the range a receiver may take; nothing else.
std::optional<int> delayMs(const QString &text)
{
    bool ok = false;
    const int ms = text.trimmed().toInt(&ok);
    return ok && ms >= 0 && ms <= ReceiverDelay::MaxDelayMs ? std::optional<int>(ms) : std::nullopt;
}

QString originText(const ReceiverDelay::Delay &delay)
{
    const qint64 ms = delay.delay.count();
    switch (delay.origin) {
    case ReceiverDelay::Origin::Hand:
        return ReceiverDelay::tr("%1 ms, set by hand").arg(ms);
    case ReceiverDelay::Origin::HandForEveryReceiver:
        return ReceiverDelay::tr("%1 ms, set by hand for every receiver").arg(ms);
    case ReceiverDelay::Origin::Measured:
        return ReceiverDelay::tr("%1 ms, measured for this receiver").arg(ms);
    case ReceiverDelay::Origin::None:
        break;
    }
    return ReceiverDelay::tr("0 ms, not measured yet");
}

} // namespace

ReceiverDelay::ReceiverDelay(settings::SettingsStore &settings, const link::SerialControl &serial,
                             clock::SystemClock &systemClock, clock::ClockSync &sync, QWidget *window)
    : QObject(window)
    , m_settings(settings)
    , m_serial(serial)
    , m_window(window)
{
    connect(&systemClock, &clock::SystemClock::synchronizedKnown, this, [this](bool synchronized) {
        m_measuring = synchronized;
        m_delays.clear();
    });
    // Moved by the program, the PC's clock is no longer network time's.
    connect(&systemClock, &clock::SystemClock::timeSet, this, &ReceiverDelay::stopMeasuring);
    connect(&sync, &clock::ClockSync::timed, this, &ReceiverDelay::onBurstTimed);
}

ReceiverDelay::Delay ReceiverDelay::delay() const
{
    using std::chrono::milliseconds;
    if (const auto hand = delayMs(m_settings.readSetting(ApplicationName, HandSection, receiverName(), {})))
        return {milliseconds(*hand), Origin::Hand};
    if (const auto measured = measuredMs())
        return {milliseconds(*measured), Origin::Measured};
    // Set by an earlier version for whichever receiver was in use then: it
    // counts only where nothing better is known.
    if (const auto old = delayMs(m_settings.readSetting(ApplicationName, ClockSection, EveryReceiverKey, {})))
        return {milliseconds(*old), Origin::HandForEveryReceiver};
    return {};
}

std::optional<int> ReceiverDelay::measuredMs() const
{
    const QString receiver = receiverName();
    if (const auto found = m_measured.constFind(receiver); found != m_measured.cend())
        return *found;
    return delayMs(m_settings.readSetting(ApplicationName, MeasuredSection, receiver, {}));
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
    const QString receiver = receiverName();
    m_measured.insert(receiver, int(delay->count()));
    const QString value = QString::number(delay->count());
    if (m_settings.readSetting(ApplicationName, MeasuredSection, receiver, {}) != value)
        write(MeasuredSection, receiver, value);
}

QString ReceiverDelay::receiverName() const
{
    const int port = m_serial.CommPort();
    const QString named
        = m_settings.readSetting(ApplicationName, link::PortsSection, link::portKey(port), {}).trimmed();
    return named.isEmpty() ? QStringLiteral("/dev/ttyS%1").arg(port - 1) : named;
}

void ReceiverDelay::addMenuItems(QMenu *menu)
{
    const Delay inUse = delay();
    menu->addAction(tr("Receiver &delay\u2026 (%1)").arg(originText(inUse)), this, &ReceiverDelay::askDelay);
    const std::optional<int> measured = measuredMs();
    QAction *back = menu->addAction(measured ? tr("Use the &measured delay (%1 ms)").arg(*measured)
                                             : tr("Use the &measured delay (none measured yet)"),
                                    this, &ReceiverDelay::useMeasured);
    back->setEnabled(inUse.origin == Origin::Hand || inUse.origin == Origin::HandForEveryReceiver);
}

void ReceiverDelay::askDelay()
{
    const Delay inUse = delay();
    QInputDialog dialog(m_window);
    dialog.setWindowTitle(tr("Receiver delay"));
    dialog.setInputMode(QInputDialog::IntInput);
    dialog.setIntRange(0, MaxDelayMs);
    dialog.setIntValue(int(inUse.delay.count()));
    dialog.setLabelText(tr("The time from the UTC second to the first byte the receiver sends for it,\n"
                           "in whole milliseconds from 0 to %1 (receivers: 50 to 500). It is added when\n"
                           "the clock is set.\n\n"
                           "In use for %2: %3.\n\n"
                           "While the PC's clock is synchronized to network time, GPS Quorvel measures it\n"
                           "for each receiver. A delay set here is this receiver's, and is used instead;\n"
                           "OK with the value unchanged leaves it as it is.")
                            .arg(MaxDelayMs)
                            .arg(receiverName(), originText(inUse)));
    if (dialog.exec() != QDialog::Accepted || dialog.intValue() == inUse.delay.count())
        return; // a measured delay stays measured
    write(HandSection, receiverName(), QString::number(dialog.intValue()));
}

void ReceiverDelay::useMeasured()
{
    if (delay().origin == Origin::Hand)
        write(HandSection, receiverName(), QString());
    // One set by an earlier version counts where nothing is measured: it goes
    // too, for every receiver, as it was set.
    if (delay().origin == Origin::HandForEveryReceiver)
        write(ClockSection, EveryReceiverKey, QString());
}

bool ReceiverDelay::write(const QString &section, const QString &key, const QString &value)
{
    if (m_settings.writeSetting(ApplicationName, section, key, value))
        return true;
    // A measurement completes every ten seconds: the file's fault is told once.
    if (!std::exchange(m_failureTold, true)) {
        Q_EMIT failed(tr("The receiver delay could not be saved to %1: %2.\n\nGPS Quorvel goes on with it, "
                         "but will not remember it.")
                          .arg(m_settings.location(ApplicationName), m_settings.errorString()));
    }
    return false;
}

} // namespace quorvel
