// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArrayView>

#include <chrono>
#include <deque>
#include <optional>

namespace quorvel::link {

// A reading of the PC's UTC clock, to the microsecond.
using UtcTime = std::chrono::sys_time<std::chrono::microseconds>;

// When the receiver's bursts began, on the PC's UTC clock. A receiver sends
// each epoch's sentences back to back, then is quiet until the next epoch;
// the first byte of a burst is the moment the receiver ties to its second.
//
// Bytes are numbered from the port's opening on. Each read tells when it was
// made and how many bytes waited then (FIONREAD): on a serial line those
// bytes took 10 bits each (start, 8 data, stop) to arrive, so the byte i
// places from the end of a read that is still arriving came i bytes' time
// before the read. A read whose bytes could not have filled the time since
// the last read follows a quiet gap: a burst began in it. Where the read
// started at a line's start (the first read after a wakeup), the burst
// begins with it; where it started inside a line, that line is the end of
// the last burst, and the next line that starts in the read, still arriving
// at the read, begins the new one. A read ending with a line end that has
// a gap holds a burst's end; the next read tells of the next burst. A
// connection has no bit rate: a burst began at the read that follows one
// that found nothing, and is timed by that read.
class BurstTiming
{
public:
    // A gap the receiver does not leave within a burst, shorter than the
    // pause between bursts 100 ms apart.
    static constexpr std::chrono::milliseconds Quiet{15};

    struct Burst
    {
        qint64 position = 0; // of its first byte
        UtcTime epoch; // when that byte arrived

        friend bool operator==(const Burst &, const Burst &) = default;
    };

    // The port opened at `at`: nothing is known of bursts yet.
    void reset(UtcTime at);
    // A read made at `at` appended `bytes`, numbered from `position` on;
    // `waiting` bytes waited then (-1 where the source cannot tell: all of
    // them). A read that found nothing counts too. `rate` is the line's bit rate, 0 for a connection.
    void read(QByteArrayView bytes, qint64 position, UtcTime at, qsizetype waiting, int rate);
    // The bytes before `position` were dropped unread: their timing means
    // nothing.
    void forget();

    // The burst that holds byte `position`: the last one that began at or
    // before it, if that began less than a second before the byte itself
    // arrived. Otherwise (a receiver that never pauses) the byte's own
    // arrival, as a burst of its own, once the port has been open for a
    // second. Nothing for a byte not read yet, nor for one whose burst may
    // have begun before the port opened.
    std::optional<Burst> burstOf(qint64 position) const;

private:
    struct Read
    {
        qint64 position = 0;
        qint64 end = 0;
        UtcTime at;
        qsizetype waiting = 0;
        int rate = 0;
    };
    // When byte `position` of `read` arrived, counted back from the read.
    static UtcTime arrival(const Read &read, qint64 position);

    std::deque<Read> m_reads; // the last few, for the bytes the window reads
    std::deque<Burst> m_bursts; // the last few
    UtcTime m_openedAt;
    UtcTime m_lastRead;
    bool m_quiet = true; // the last read found nothing
    bool m_atLineStart = true;
};

} // namespace quorvel::link
