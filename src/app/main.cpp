// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/appinfo.h"
#include "app/commandline.h"
#include "app/form1.h"
#include "app/quitsignals.h"
#include "clock/timedatedclock.h"
#include "link/mscomm.h"
#include "link/systemsources.h"
#include "settings/inisettingsstore.h"

#include <QApplication>

#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    // Our own options are answered before Qt starts, so that --help and
    // --version work without a display.
    const quorvel::CommandLine command = quorvel::readCommandLine(
        argc, argv, qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"));
    if (command.exitStatus) {
        std::fputs(command.output.toLocal8Bit().constData(), *command.exitStatus == 0 ? stdout : stderr);
        return *command.exitStatus;
    }

    // Qt keeps argc and argv for the whole run.
    std::vector<char *> qtArgv;
    for (const QByteArray &argument : command.qtArguments)
        qtArgv.push_back(const_cast<char *>(argument.constData()));
    int qtArgc = int(qtArgv.size());
    qtArgv.push_back(nullptr);

    quorvel::Form1::prepareApplication();
    quorvel::startingWindowSystem();
    QApplication app(qtArgc, qtArgv.data());
    quorvel::windowSystemStarted();
    // The settings live under the application name. No display name is set:
    // Qt would append it to the window title.
    QCoreApplication::setOrganizationName(quorvel::ApplicationName);
    QCoreApplication::setApplicationName(quorvel::ApplicationName);
    QCoreApplication::setApplicationVersion(quorvel::Version);

    // Made before the window, so that it outlives the window: a signal
    // during shutdown then finds the port being closed, not the default action.
    const quorvel::QuitSignals quitSignals;

    quorvel::settings::IniSettingsStore settings;
    quorvel::Form1 window(
        std::make_unique<quorvel::link::MSComm>(settings, quorvel::ApplicationName,
                                                std::make_unique<quorvel::link::SystemSources>()),
        settings, std::make_unique<quorvel::clock::TimedatedClock>());
    window.Form_Load();
    window.show();
    return app.exec();
}
