// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace quorvel {

// The program's own English, installed into the application once: Qt takes
// the plural forms of a text with %n ("1 fix", "2 fixes") only from a
// translation, and shows the source text as it stands without one.
void installTranslation();

} // namespace quorvel
