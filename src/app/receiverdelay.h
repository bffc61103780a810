// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "clock/delaymeter.h"

#include <QObject>
#include <QString>

#include <chrono>

class QMenu;
class QPoint;
class QPushButton;
class QWidget;

namespace quorvel {

namespace clock {
class ClockSync;
class SystemClock;
} // namespace clock
namespace link {
class SerialControl;
}
namespace settings {
class SettingsStore;
}

// The receiver's delay from the UTC second to the first byte of its burst,
// which a clock sync adds: set by hand in Sync PC Clock's context menu
// ([Clock] ReceiverDelayMs), else as measured for that receiver while the PC's
// clock was synchronized ([MeasuredDelays]), else none. Sync PC Clock's
// context menu shows it and sets it by hand; while the system calls the PC's
// clock synchronized, the bursts the clock sync times measure it.
class ReceiverDelay : public QObject
{
    Q_OBJECT

public:
    enum class Origin { None, Hand, Measured };
    struct Delay
    {
        std::chrono::milliseconds delay{0};
        Origin origin = Origin::None;
    };
    static constexpr int MaxDelayMs = 2000;

    // `syncButton` gets the menu; `serial`'s port says which receiver is in
    // use; `systemClock` says when the PC's clock is synchronized, `sync`
    // times the receiver's bursts.
    ReceiverDelay(QPushButton *syncButton, settings::SettingsStore &settings,
                  const link::SerialControl &serial, clock::SystemClock &systemClock, clock::ClockSync &sync,
                  QWidget *window);

    // The delay in use for the receiver in use, and where it came from.
    Delay delay() const;
    // Whether the delay is being measured, so that time sentences count.
    bool measuring() const { return m_measuring; }
    // The port has closed: measuring waits until the system next says the
    // clock is synchronized.
    void stopMeasuring();

Q_SIGNALS:
    // A setting could not be written; `message` says why.
    void failed(const QString &message);
    // Sync PC Clock's menu is about to open: others may add to it.
    void menuOpening(QMenu *menu);

private:
    void onBurstTimed(const nmea::TimeOfDay &gpsTime, link::UtcTime epoch);
    // The receiver of the port in use, as the settings name it.
    QString receiverName() const;
    void showMenu(const QPoint &at);
    void askDelay();
    bool write(const QString &section, const QString &key, const QString &value);

    QPushButton *const m_button;
    settings::SettingsStore &m_settings;
    const link::SerialControl &m_serial;
    QWidget *const m_window;
    bool m_measuring = false;
    clock::DelayMeter m_delays;
};

} // namespace quorvel
