// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "nmea/gga.h"
#include "nmea/sentencetime.h"

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

    // Adds a batch, whose first byte is received byte number `position`, to
    // the line in the box. Each complete line that can change anything (a
    // GGA sentence, and with `times` the other sentences that state the
    // time: RMC, GNS, ZDA) is put in the box, alone, and `process` is called
    // to read it there, with the number of its sentence's first byte. The
    // partial line stays in the box for the next batch. Where lines arrive
    // whole (`wholeLines`: a network source), the last one stays in the box
    // to be seen.
    void take(const QByteArray &batch, qint64 position, bool wholeLines, bool times,
              const std::function<void(qint64 sentenceStart)> &process);

    // The fix a line tells of; nothing for a line that is no GGA sentence
    // with a fix and every field it needs.
    static std::optional<nmea::GgaFix> decode(const QString &line);
    // The UTC time a line states for a measured fix (nmea::decodeTime).
    static std::optional<nmea::SentenceTime> decodeTime(const QString &line);

private:
    void show(const QString &text);

    QLineEdit *const m_monitor;
    // A whole line left in the box to be seen; the next line's characters
    // replace it rather than follow it.
    QString m_finishedLine;
};

} // namespace quorvel
