// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace quorvel {

// Why `path` may be neither read nor saved over: it is there, but is no
// regular file. Opening a named pipe to read it would wait for a writer for
// good, and renaming a file over a device or a pipe would put a file in its
// place; so they are refused before anything is opened. Empty where the
// path is a file (or a link to one) or nothing yet.
QString notAFile(const QString &path);

} // namespace quorvel
