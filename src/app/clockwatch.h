// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "clock/clockoffset.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

class QMenu;
class QPushButton;
class QWidget;

namespace quorvel {

struct AppState;
class ClockWindow;
class ReceiverDelay;

namespace clock {
class ClockKeeper;
class ClockSync;
class SystemClock;
} // namespace clock
namespace link {
class SerialControl;
}
namespace settings {
class SettingsStore;
}

// How far the PC's clock is from GPS time, live, and keeping it there: every
// burst the clock sync times, less the receiver delay in use, feeds the live
// offset. Sync PC Clock's tooltip says it; its context menu gets "Show
// clock…" (ClockWindow) and "Keep the clock on GPS time", which the window
// carries out (the port stays open) and the ClockKeeper follows.
class ClockWatch : public QObject
{
    Q_OBJECT

public:
    // `keeping` is the window's flag ([Clock] Keep as chosen), which the
    // keeper clears when the system refuses.
    ClockWatch(QPushButton *syncButton, const AppState &state, bool &keeping,
               settings::SettingsStore &settings, const link::SerialControl &serial,
               clock::SystemClock &systemClock, clock::ClockSync &sync, ReceiverDelay &delay,
               QWidget *window);
    ~ClockWatch() override;

    clock::ClockKeeper &keeper() { return *m_keeper; }
    const clock::ClockOffset &offset() const { return m_offset; }

    // Whether keeping was chosen last time ([Clock] Keep).
    bool keepStored() const;
    static const QString KeepKey;
    // The bound the clock is kept within: [Clock] KeepWithinMs, where it is
    // one; `problem` then says why the stored text is not used.
    std::chrono::milliseconds keepWithin(QString *problem = nullptr) const;

    // What Sync PC Clock's tooltip says first (a sync waiting), or nothing;
    // the offset follows.
    void setLead(const QString &lead);
    // The window that plots the offset over the session.
    void showWindow();
    // Sync PC Clock's menu items: the window, and keeping the clock.
    void addMenuItems(QMenu *menu);

Q_SIGNALS:
    // Keeping was turned on or off in the menu.
    void keepChosen(bool on);

private:
    void onBurstTimed(const nmea::TimeOfDay &gpsTime, link::UtcTime epoch);
    void showTip();
    // The tooltip and the window.
    void showAll();
    // The offset, its drift, what it assumes and the keeping, in sentences.
    QString description(bool withKeeping) const;

    QPushButton *const m_button;
    const AppState &m_state;
    const bool &m_keeping;
    settings::SettingsStore &m_settings;
    const link::SerialControl &m_serial;
    clock::ClockSync &m_sync;
    ReceiverDelay &m_delay;
    QWidget *const m_window;
    clock::ClockOffset m_offset;
    clock::ClockKeeper *m_keeper = nullptr;
    std::optional<clock::ClockOffset::Point> m_last; // the last estimate, until the clock moves
    clock::SteadyTime m_lastSeen; // when it came
    clock::SteadyTime m_shown; // when the tooltip and the window were last brought up to date
    // The receiver delay in use, read again once a second.
    std::chrono::milliseconds m_delayInUse{0};
    clock::SteadyTime m_delayRead;
    int m_port = 0; // whose bursts came last
    QString m_lead;
    QTimer m_refresh; // the age of the last estimate
    QPointer<ClockWindow> m_plot;
};

} // namespace quorvel
