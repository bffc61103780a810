// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/appinfo.h"
#include "app/form1.h"
#include "clock/timedatedclock.h"
#include "link/mscomm.h"
#include "settings/inisettingsstore.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The settings live under the application name. No display name is set: Qt would
    // append it to the window title.
    QCoreApplication::setOrganizationName(quorvel::ApplicationName);
    QCoreApplication::setApplicationName(quorvel::ApplicationName);
    QCoreApplication::setApplicationVersion(quorvel::Version);

    quorvel::settings::IniSettingsStore settings;
    quorvel::Form1 window(std::make_unique<quorvel::link::MSComm>(settings), settings,
                          std::make_unique<quorvel::clock::TimedatedClock>());
    window.Form_Load();
    window.show();
    return app.exec();
}
