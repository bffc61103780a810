// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "link/bursttiming.h"
#include "nmea/gga.h"

#include <QString>

#include <chrono>
#include <deque>
#include <optional>
#include <vector>

namespace quorvel::clock {

// The PC's monotonic clock, which no setting of the time moves.
using SteadyTime = std::chrono::steady_clock::time_point;

// How far the PC's clock is from GPS time, from the receiver's bursts: the
// PC's UTC clock at a burst's first byte, less the GPS second it is of and
// the receiver's delay from that second to the burst. Nothing else tells a
// PC in the field how wrong its clock is, so all rests on that delay being
// right.
//
// Single bursts are late when the PC was busy, so the estimate is the median
// of the bursts of the last Span. Over the session each Span's median is kept
// as a point. A move of the clock (by this program or anything else, or the
// PC waking from sleep) shows as a jump between the PC's UTC clock and its
// monotonic clock: it starts a new segment, as does a pause in the bursts,
// across which a move cannot be told from a drift; the drift is fitted as
// one line per segment with a slope they share.
class ClockOffset
{
public:
    static constexpr std::chrono::seconds Span{10};
    static constexpr int MinBursts = 5;
    // Beyond what the PC's clock may drift or be slewed (500 ppm at most on
    // Linux) against its monotonic clock, the clock was set.
    static constexpr std::chrono::milliseconds StepAtLeast{5};
    static constexpr double SlewPpm = 1000;
    // An estimate older than this is told with its age.
    static constexpr std::chrono::seconds Fresh{5};
    // What the session keeps: some ten days of points.
    static constexpr std::size_t MaxPoints = 100'000;
    // A source that never pauses (a log replayed at full speed) makes every
    // sentence a burst: the medians are of the newest this many.
    static constexpr std::size_t MaxBursts = 100;

    struct Point
    {
        SteadyTime at;
        link::UtcTime epoch; // the PC's UTC clock then
        std::chrono::microseconds offset{0}; // ahead of GPS time when positive
        int bursts = 0; // the median is of these

        friend bool operator==(const Point &, const Point &) = default;
    };
    // The points between two moves of the clock, with the receiver delay
    // they assume.
    struct Segment
    {
        std::vector<Point> points;
        std::chrono::milliseconds receiverDelay{0};
        // How far the PC's clock was moved before this segment began
        // (against its monotonic clock); nothing for the first segment, or
        // one begun by a new receiver, or after a pause in the bursts longer
        // than Span.
        std::optional<std::chrono::microseconds> step;
    };
    struct Drift
    {
        double ppm = 0; // the PC's clock gains when positive
        double plusMinusPpm = 0; // about 95 %; 0 when too few points to tell
        std::chrono::seconds span{0}; // of the segments fitted, together
        int points = 0;
    };

    // The burst of GPS second `gpsTime` (UTC, with its fraction) began at
    // `epoch` on the PC's UTC clock and at `at` on its monotonic clock; the
    // receiver's delay in use is `receiverDelay`. Another delay than before
    // shifts the current segment's figures onto it.
    void add(const nmea::TimeOfDay &gpsTime, link::UtcTime epoch, SteadyTime at,
             std::chrono::milliseconds receiverDelay);
    // What comes next is not comparable with what came before (another
    // receiver): a new segment begins, with no step told.
    void breakSegment();

    // The median of the current segment's bursts of the last Span, once
    // there are MinBursts of them. Its `at` is that of the newest burst.
    std::optional<Point> estimate() const { return m_estimate; }
    // The receiver delay the estimate assumes.
    std::chrono::milliseconds receiverDelay() const { return m_delay; }
    const std::deque<Segment> &segments() const { return m_segments; }
    // How many segments have begun: a change means that what was measured
    // before no longer holds.
    int segmentsBegun() const { return m_begun; }
    // The drift from the segments' points: once they span a minute together.
    std::optional<Drift> drift() const { return m_drift; }

    // "This PC's clock is 0.312 s behind GPS time", to the millisecond;
    // "was" for an offset of the past.
    static QString offsetSentence(std::chrono::microseconds offset, bool past = false);
    // "+0.312 s", the user's decimal separator.
    static QString secondsText(std::chrono::microseconds offset);
    // "+50.1 ppm (gains 4.3 s a day)", with "± 0.4" where known.
    static QString driftText(const Drift &drift);

private:
    struct Burst
    {
        SteadyTime at;
        link::UtcTime epoch;
        std::chrono::microseconds offset;
    };
    static std::optional<Point> median(const std::deque<Burst> &bursts);
    std::optional<Drift> fitDrift() const;
    void closeBin();
    void startSegment(std::optional<std::chrono::microseconds> step);
    void rebase(std::chrono::milliseconds by);

    std::deque<Segment> m_segments;
    std::size_t m_points = 0; // in all segments
    std::deque<Burst> m_recent; // the current segment's, of the last Span
    std::deque<Burst> m_bin; // the current segment's since its last point
    std::optional<Burst> m_last;
    std::optional<Point> m_estimate;
    std::optional<Drift> m_drift; // as the points stand
    std::chrono::milliseconds m_delay{0};
    bool m_broken = true; // the next burst starts a new segment
    int m_begun = 0;
};

} // namespace quorvel::clock
