// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace quorvel::text {

// A reason in the words of a library or the system ("Permission denied",
// "line 1: Premature end of document."), set into a sentence of ours after
// a colon or in brackets: it neither starts a sentence nor ends one.
// "Connection refused" becomes "connection refused", "line 1: premature end
// of document"; "IPv6 ..." stays as it is.
QString reasonText(QString reason);

} // namespace quorvel::text
