// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "portmenu.h"

#include "app/appinfo.h"
#include "link/serialcontrol.h"
#include "link/sourcespec.h"
#include "settings/integertext.h"
#include "settings/settingsstore.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QRadioButton>

#include <variant>

namespace quorvel {

PortMenu::PortMenu(const QList<QRadioButton *> &options, const link::SerialControl &serial,
                   const settings::SettingsStore &settings, QWidget *window)
    : QObject(window)
    , m_options(options)
    , m_serial(serial)
    , m_settings(settings)
    , m_window(window)
{
    // A right-click (or the menu key) on a COM button chooses its receiver.
    for (int i = 0; i < m_options.size(); ++i) {
        QRadioButton *option = m_options[i];
        option->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(option, &QRadioButton::customContextMenuRequested, this,
                [this, i, option](const QPoint &at) { showMenu(i + 1, option->mapToGlobal(at)); });
    }
    connect(&m_serial, &link::SerialControl::portChanged, this, &PortMenu::describePorts);
}

std::optional<int> PortMenu::storedPort() const
{
    const QString text = m_settings.readSetting(ApplicationName, QStringLiteral("Main"),
                                                QStringLiteral("Port"), QStringLiteral("1"));
    const std::optional<std::int16_t> port
        = settings::textToInteger(text.toStdString(), QLocale().decimalPoint().toStdString());
    return port && *port >= 1 && *port <= m_options.size() ? std::optional<int>(*port) : std::nullopt;
}

void PortMenu::describePorts()
{
    for (int i = 0; i < m_options.size(); ++i)
        m_options[i]->setToolTip(
            m_serial.portDescription(i + 1) + QLatin1Char('\n')
            + tr("Right-click, or press the menu key or Shift+F10, to choose the receiver."));
}

void PortMenu::showMenu(int port, const QPoint &at)
{
    auto *menu = new QMenu(m_window);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QList<link::SerialControl::Device> devices = m_serial.availableDevices();
    for (const link::SerialControl::Device &device : devices) {
        QString text
            = device.description.isEmpty() ? device.path : tr("%1 (%2)").arg(device.path, device.description);
        // A name is shown as it is, not read for a mnemonic.
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        menu->addAction(text, this, [this, port, path = device.path] { Q_EMIT sourceChosen(port, path); });
    }
    if (devices.isEmpty())
        menu->addAction(tr("No serial devices found"))->setEnabled(false);
    menu->addSeparator();
    menu->addAction(tr("&Network or gpsd source\u2026"), this, [this, port] { askSource(port); });
    menu->addAction(tr("&Default device"), this, [this, port] { Q_EMIT sourceChosen(port, QString()); });
    menu->popup(at);
}

void PortMenu::askSource(int port)
{
    QString text = m_settings.readSetting(ApplicationName, link::PortsSection, link::portKey(port), {});
    const QString forms = tr("Where COM %1 reads NMEA from:\n"
                             "  tcp://HOST:PORT  \u2013 a phone app or multiplexer (often port 10110)\n"
                             "  udp://:PORT  \u2013 datagrams sent to this machine\n"
                             "  gpsd://HOST[:PORT][/DEVICE]  \u2013 gpsd, for example gpsd://localhost\n"
                             "  /dev/DEVICE[@RATE]  \u2013 a serial device")
                              .arg(port);
    QString label = forms;
    for (;;) {
        bool ok = false;
        text = QInputDialog::getText(m_window, tr("Receiver for COM %1").arg(port), label, QLineEdit::Normal,
                                     text, &ok);
        if (!ok)
            return;
        // What is pasted with a device's name (more lines of a settings
        // file, say) is not part of it: the text comes back to be mended.
        if (settings::fitsOneLine(text.trimmed()))
            break;
        label = tr("A receiver is named on one line, without line breaks, tabs or other control "
                   "characters.")
            + QStringLiteral("\n\n") + forms;
    }
    const auto parsed = link::parseSourceSpec(text);
    if (const QString *problem = std::get_if<QString>(&parsed)) {
        Q_EMIT refused(*problem);
        return;
    }
    Q_EMIT sourceChosen(port, text.trimmed());
}

} // namespace quorvel
