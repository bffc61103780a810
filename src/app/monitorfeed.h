// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "nmea/gga.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QLineEdit;

namespace quorvel {

// The feed of sentences: received bytes are assembled into lines in the
// monitor box, which is the line buffer the user sees, and a line there is
// decoded.
class MonitorFeed
{
public:
    explicit MonitorFeed(QLineEdit *monitor);

    // Adds a batch to the line in the box. Each complete line that can
    // change anything (a GGA sentence) is put in the box, alone, and
    // `process` is called to read it there; the partial line stays in the
    // box for the next batch. Where lines arrive whole (`wholeLines`: a
    // network source), the last one stays in the box to be seen.
    void take(const QByteArray &batch, bool wholeLines, const std::function<void()> &process);

    // The fix a line tells of; nothing for a line that is no GGA sentence
    // with a fix and every field it needs.
    static std::optional<nmea::GgaFix> decode(const QString &line);

private:
    void show(const QString &text);

    QLineEdit *const m_monitor;
    // A whole line left in the box to be seen; the next line's characters
    // replace it rather than follow it.
    QString m_finishedLine;
};

} // namespace quorvel
