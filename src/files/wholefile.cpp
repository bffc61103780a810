// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "wholefile.h"

#include <QSaveFile>

namespace quorvel::files {

bool replaceFile(const QString &path, const QByteArray &content, QString *error)
{
    QSaveFile file(path);
    // The flush is checked before the rename: QSaveFile::commit() (Qt 6.4)
    // renames even where the last bytes it held could not be written (a full
    // disk), and a file cut short would take the old one's place.
    if (file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.flush()
        && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

} // namespace quorvel::files
