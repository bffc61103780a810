// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

namespace quorvel::files {

// `content` as the whole of the file at `path`, written beside it and renamed
// over it, so that a failure leaves the old file whole. False on failure;
// `error` then says why.
bool replaceFile(const QString &path, const QByteArray &content, QString *error = nullptr);

} // namespace quorvel::files
