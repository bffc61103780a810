// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QObject>

#include <optional>

class QPoint;
class QRadioButton;
class QWidget;

namespace quorvel {

namespace link {
class SerialControl;
}
namespace settings {
class SettingsStore;
}

// What each COM button reads from: its tooltip, and its context menu with
// the serial devices present, a dialog for a network or gpsd source (whose
// text is checked before it is taken) and the default device.
class PortMenu : public QObject
{
    Q_OBJECT

public:
    // The COM buttons, port n at index n - 1, belong to `window`, over which
    // the menus and the dialog stand.
    PortMenu(const QList<QRadioButton *> &options, const link::SerialControl &serial,
             const settings::SettingsStore &settings, QWidget *window);

    // The port stored at [Main] Port; nothing when that is not the number of
    // a COM button, which only editing the settings by hand can store.
    std::optional<int> storedPort() const;
    // Each COM button's tooltip says what it reads from.
    void describePorts();

Q_SIGNALS:
    // The user chose `source` for COM `port`; empty for the default device.
    void sourceChosen(int port, const QString &source);
    // The source typed cannot be read; `problem` shows the forms it may take.
    void refused(const QString &problem);

private:
    void showMenu(int port, const QPoint &at);
    void askSource(int port);

    const QList<QRadioButton *> m_options;
    const link::SerialControl &m_serial;
    const settings::SettingsStore &m_settings;
    QWidget *const m_window;
};

} // namespace quorvel
