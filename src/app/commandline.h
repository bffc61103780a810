// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
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
};

// Reads the options. Qt's own (-platform, -style, -geometry, ...) are left to
// Qt; the platform and display variables tell whether a window can be shown.
CommandLine readCommandLine(int argc, const char *const *argv, const QByteArray &qpaPlatform,
                            const QByteArray &display, const QByteArray &waylandDisplay);

} // namespace quorvel
