// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "clock/delaymeter.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <chrono>

class QMenu;
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
// which a clock sync adds, for the receiver in use: set by hand for it
// ([HandDelays]), else as measured for it while the PC's clock was
// synchronized ([MeasuredDelays]), else one set by hand for every receiver by
// earlier versions ([Clock] ReceiverDelayMs), else none. Its items in Sync PC
// Clock's menu show it and set it by hand; while the system calls the PC's
// clock synchronized, the bursts the clock sync times measure it, until the
// program moves the clock itself.
class ReceiverDelay : public QObject
{
    Q_OBJECT

public:
    enum class Origin { None, Hand, HandForEveryReceiver, Measured };
    struct Delay
    {
        std::chrono::milliseconds delay{0};
        Origin origin = Origin::None;
    };
    static constexpr int MaxDelayMs = 2000;

    // `serial`'s port says which receiver is in use; `systemClock` says when
    // the PC's clock is synchronized, and when the program has moved it;
    // `sync` times the receiver's bursts.
    ReceiverDelay(settings::SettingsStore &settings, const link::SerialControl &serial,
                  clock::SystemClock &systemClock, clock::ClockSync &sync, QWidget *window);

    // The delay in use for the receiver in use, and where it came from.
    Delay delay() const;
    // Whether the delay is being measured, so that time sentences count.
    bool measuring() const { return m_measuring; }
    // The port has closed, or the PC's clock is no longer network time's:
    // measuring waits until the system next says the clock is synchronized.
    void stopMeasuring();

    // Sync PC Clock's menu items: the delay in use, to set by hand, and going
    // back to the measured one.
    void addMenuItems(QMenu *menu);

Q_SIGNALS:
    // A setting could not be written (said once); `message` says why.
    void failed(const QString &message);

private:
    void onBurstTimed(const nmea::TimeOfDay &gpsTime, link::UtcTime epoch);
    // The receiver of the port in use, as the settings name it.
    QString receiverName() const;
    // The delay measured for the receiver in use, if any.
    std::optional<int> measuredMs() const;
    void askDelay();
    void useMeasured();
    bool write(const QString &section, const QString &key, const QString &value);

    settings::SettingsStore &m_settings;
    const link::SerialControl &m_serial;
    QWidget *const m_window;
    bool m_measuring = false;
    bool m_failureTold = false;
    clock::DelayMeter m_delays;
    // Measured this run, by receiver: kept when the file cannot take them.
    QHash<QString, int> m_measured;
};

} // namespace quorvel
