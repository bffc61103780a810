// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArrayView>
#include <QString>

#include <utility>

namespace quorvel::link {

// Far above any NMEA sentence (82 characters by the standard, about 100 in
// practice); a stream without line ends cannot grow the line past it.
constexpr qsizetype MaxLineLength = 1024;

// Any control character ends a line: NMEA's CR LF, but also a NUL or other
// binary noise between sentences.
constexpr bool isTerminator(char c)
{
    return static_cast<unsigned char>(c) < 32;
}

// Appends a batch of received bytes, one Latin-1 character each, to the
// partial line. At each terminator the line is handed to onLine and emptied;
// whatever follows the last terminator stays in `line` for the next batch.
// A line that would pass MaxLineLength is dropped and assembly starts afresh
// with the character that did not fit.
template<typename OnLine>
void assembleLines(QString &line, QByteArrayView batch, OnLine &&onLine)
{
    qsizetype start = 0; // first byte of the batch not yet in `line`
    const auto flush = [&](qsizetype end) {
        if (line.size() + (end - start) > MaxLineLength) {
            // The line fills up to the cap and is dropped at the character
            // that does not fit, as often as this run of bytes needs.
            const qsizetype firstDropped = start + (MaxLineLength - line.size());
            start = firstDropped + (end - firstDropped - 1) / MaxLineLength * MaxLineLength;
            line.clear();
        }
        line.append(QLatin1StringView(batch.data() + start, end - start));
    };
    for (qsizetype i = 0; i < batch.size(); ++i) {
        if (!isTerminator(batch[i]))
            continue;
        flush(i);
        onLine(std::as_const(line));
        line.clear();
        start = i + 1;
    }
    flush(batch.size());
}

} // namespace quorvel::link
