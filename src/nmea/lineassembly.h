// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArrayView>
#include <QString>

#include <type_traits>
#include <utility>

namespace quorvel::nmea {

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
// partial line. At each terminator the line is handed to onLine (with the
// terminator's index in the batch, where onLine takes it) and emptied;
// whatever follows the last terminator stays in `line` for the next batch.
// A line that passes MaxLineLength keeps its last MaxLineLength characters:
// a sentence behind a long run of noise survives, since decoding starts at
// the last '$'. `line` may start at any length (the user may paste into it).
template<typename OnLine>
void assembleLines(QString &line, QByteArrayView batch, OnLine &&onLine)
{
    qsizetype start = 0; // first byte of the batch not yet in `line`
    const auto flush = [&](qsizetype end) {
        const qsizetype incoming = end - start;
        if (incoming >= MaxLineLength) {
            line = QLatin1StringView(batch.data() + end - MaxLineLength, MaxLineLength);
            return;
        }
        if (const qsizetype excess = line.size() + incoming - MaxLineLength; excess > 0)
            line.remove(0, excess);
        line.append(QLatin1StringView(batch.data() + start, incoming));
    };
    for (qsizetype i = 0; i < batch.size(); ++i) {
        if (!isTerminator(batch[i]))
            continue;
        flush(i);
        if constexpr (std::is_invocable_v<OnLine, const QString &, qsizetype>)
            onLine(std::as_const(line), i);
        else
            onLine(std::as_const(line));
        line.clear();
        start = i + 1;
    }
    flush(batch.size());
}

} // namespace quorvel::nmea
