// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace quorvel {

// What the command line asks for before the window starts.
struct CommandLine
{
    // Set when the program ends at once: 0 after --help or --version, 1
    // without a display to show the window on, 2 for options it does not know.
    std::optional<int> exitStatus;
    QString output; // what to print, to standard output for 0, else to standard error
    // The arguments for QApplication, the program's name first. Qt reads its
    // options only as "-name value": "-name=value" is passed on split in two.
    QList<QByteArray> qtArguments;
};

// Reads the options. Qt's own (-platform, -style, -geometry, ...) are left to
// Qt; the platform and display variables tell whether a window can be shown.
CommandLine readCommandLine(int argc, const char *const *argv, const QByteArray &qpaPlatform,
                            const QByteArray &display, const QByteArray &waylandDisplay);

// Called before and after QApplication is made. Qt takes a display it cannot
// reach, or a platform plugin it cannot load, for a broken installation: it
// aborts with advice to reinstall. In between, Qt's messages are held back;
// on that failure the program prints one line with Qt's reason and ends with
// status 1, else the messages are passed on once the window system is up.
void startingWindowSystem();
void windowSystemStarted();

} // namespace quorvel
