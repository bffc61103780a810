// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/form1.h"
#include "link/mscomm.h"
#include "clock/timedatedclock.h"
#include "settings/nativesettingsstore.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The settings live under "Quorvel". No display name is set: Qt would
    // append it to the window title.
    QCoreApplication::setOrganizationName(QStringLiteral("Quorvel"));
    QCoreApplication::setApplicationName(QStringLiteral("Quorvel"));

    quorvel::settings::NativeSettingsStore settings;
    quorvel::Form1 window(new quorvel::link::MSComm(settings), settings, new quorvel::nmea::TimedatedClock);
    window.Form_Load();
    window.show();
    return app.exec();
}
