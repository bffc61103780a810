// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "bursttiming.h"

#include "nmea/lineassembly.h"

#include <algorithm>

namespace quorvel::link {

namespace {

using std::chrono::microseconds;

// Enough for the reads and bursts of the bytes one batch of the window holds.
constexpr std::size_t Kept = 64;

microseconds bytesTime(qint64 bytes, int rate)
{
    return rate > 0 ? microseconds(bytes * 10 * 1'000'000 / rate) : microseconds(0);
}

} // namespace

void BurstTiming::reset(UtcTime at)
{
    m_reads.clear();
    m_bursts.clear();
    m_openedAt = at;
    m_lastRead = at;
    m_quiet = true;
    m_atLineStart = true;
}

void BurstTiming::forget()
{
    m_reads.clear();
    m_bursts.clear();
    m_atLineStart = false;
}

UtcTime BurstTiming::arrival(const Read &read, qint64 position)
{
    const qint64 behind = std::max<qint64>(0, read.position + read.waiting - position);
    return read.at - bytesTime(behind, read.rate);
}

void BurstTiming::read(QByteArrayView bytes, qint64 position, UtcTime at, qsizetype waiting, int rate)
{
    if (bytes.isEmpty()) {
        // Nothing since the last read: the line was quiet until now.
        m_lastRead = at;
        m_quiet = true;
        return;
    }
    const qsizetype size = bytes.size();
    const Read read{position, position + size, at, waiting < 0 ? size : std::min(waiting, size), rate};
    // A connection's bytes take no time to arrive: a read after one that
    // found nothing follows a gap.
    const bool gap = rate > 0 ? arrival(read, position) - m_lastRead >= Quiet : m_quiet;
    const bool endsLine = nmea::isTerminator(bytes.back());
    if (gap && (m_atLineStart || !endsLine)) {
        // The first line that starts in the read: at its start if the last
        // read ended a line, else after the line it ends.
        qsizetype first = 0;
        bool lineStart = m_atLineStart;
        for (; first < size; ++first) {
            if (lineStart && !nmea::isTerminator(bytes[first]))
                break;
            lineStart = nmea::isTerminator(bytes[first]);
        }
        if (first < size)
            m_bursts.push_back({position + first, arrival(read, position + first)});
    }
    m_reads.push_back(read);
    while (m_reads.size() > Kept)
        m_reads.pop_front();
    while (m_bursts.size() > Kept)
        m_bursts.pop_front();
    m_lastRead = at;
    m_quiet = false;
    m_atLineStart = endsLine;
}

std::optional<BurstTiming::Burst> BurstTiming::burstOf(qint64 position) const
{
    const auto read = std::find_if(m_reads.crbegin(), m_reads.crend(),
                                   [position](const Read &r) { return r.position <= position; });
    if (read == m_reads.crend() || position >= read->end)
        return std::nullopt;
    const UtcTime arrived = arrival(*read, position);
    const auto burst = std::find_if(m_bursts.crbegin(), m_bursts.crend(),
                                    [position](const Burst &b) { return b.position <= position; });
    if (burst != m_bursts.crend() && arrived - burst->epoch < std::chrono::seconds(1))
        return *burst;
    // A byte of a burst that began before the port opened, or in a stream
    // that has not paused for a second.
    if (arrived - m_openedAt < std::chrono::seconds(1))
        return std::nullopt;
    return Burst{position, arrived};
}

} // namespace quorvel::link
