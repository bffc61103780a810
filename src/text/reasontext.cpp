// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "reasontext.h"

namespace quorvel::text {

QString reasonText(QString reason)
{
    reason = reason.trimmed();
    while (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    // After the line number too: "line 1: premature end of document".
    for (qsizetype at = 0; at >= 0 && at + 1 < reason.size();) {
        if (reason[at].isUpper() && reason[at + 1].isLower())
            reason[at] = reason[at].toLower();
        at = reason.indexOf(QStringLiteral(": "), at);
        if (at >= 0)
            at += 2;
    }
    return reason;
}

} // namespace quorvel::text
