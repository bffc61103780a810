// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "savetarget.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace quorvel {

QString notAFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return {};
    if (info.isDir())
        return QCoreApplication::translate("SaveTarget",
                                           "%1 could not be saved: it is a folder. Choose a file name.")
            .arg(path);
    return QCoreApplication::translate(
               "SaveTarget",
               "%1 could not be saved: it is a pipe, a device or a socket, not a file, and is left as "
               "it is. Choose another name.")
        .arg(path);
}

} // namespace quorvel
