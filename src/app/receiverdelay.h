// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>

class QPoint;
class QPushButton;
class QWidget;

namespace quorvel {

namespace settings {
class SettingsStore;
}

// The receiver's delay from the UTC second to the first byte of its burst,
// which a clock sync adds: set by hand in Sync PC Clock's context menu
// ([Clock] ReceiverDelayMs), else as measured for that receiver while the PC's
// clock was synchronized ([MeasuredDelays]), else none.
class ClockMenu : public QObject
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

    // `syncButton` gets the menu; `receiver` says which receiver is in use,
    // as the settings name it.
    ClockMenu(QPushButton *syncButton, settings::SettingsStore &settings, std::function<QString()> receiver,
              QWidget *window);

    // The delay in use for the receiver in use, and where it came from.
    Delay delay() const;
    // A delay was measured for the receiver in use: it is remembered.
    void measured(std::chrono::milliseconds delay);

Q_SIGNALS:
    // A setting could not be written; `message` says why.
    void failed(const QString &message);

private:
    void showMenu(const QPoint &at);
    void askDelay();
    bool write(const QString &section, const QString &key, const QString &value);

    QPushButton *const m_button;
    settings::SettingsStore &m_settings;
    const std::function<QString()> m_receiver;
    QWidget *const m_window;
};

} // namespace quorvel
