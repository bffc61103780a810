// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clockoffset.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace quorvel::clock {

using std::chrono::duration;
using std::chrono::microseconds;

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("quorvel::clock", text);
}

// The user's decimal separator, but no grouping in a figure read as a time.
QString number(double value, int decimals)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}

double seconds(SteadyTime::duration span)
{
    return duration<double>(span).count();
}

} // namespace

void ClockOffset::add(const nmea::TimeOfDay &gpsTime, link::UtcTime epoch, SteadyTime at,
                      std::chrono::milliseconds receiverDelay)
{
    constexpr microseconds Day = std::chrono::days(1);
    const microseconds second = std::chrono::hours(gpsTime.hour) + std::chrono::minutes(gpsTime.minute)
        + std::chrono::seconds(gpsTime.second)
        + std::chrono::duration_cast<microseconds>(std::chrono::nanoseconds(gpsTime.nanosecond));
    const microseconds sinceMidnight = epoch - std::chrono::floor<std::chrono::days>(epoch);
    // Into -12 h .. +12 h: the burst may come after midnight on the PC's
    // clock, its second before it, or the other way round. The time of day
    // is all a burst says for sure: a date wrong by whole days is a press's
    // to mend.
    microseconds offset = ((sinceMidnight - second - receiverDelay) % Day + Day) % Day;
    if (offset >= Day / 2)
        offset -= Day;
    const Burst burst{at, epoch, offset};

    if (receiverDelay != m_delay && !m_broken)
        rebase(receiverDelay - m_delay);
    m_delay = receiverDelay;
    if (m_broken) {
        startSegment(std::nullopt);
    } else if (m_last) {
        // The PC's UTC clock against its monotonic clock: a drift, a slew or
        // a setting of the time.
        const SteadyTime::duration gap = at - m_last->at;
        const microseconds jump = (epoch - m_last->epoch) - std::chrono::duration_cast<microseconds>(gap);
        const double allowed = duration<double>(StepAtLeast).count() + SlewPpm * 1e-6 * seconds(gap);
        if (std::abs(duration<double>(jump).count()) > allowed) {
            startSegment(jump);
        } else if (gap > Span) {
            // After a pause in the bursts (the port closed for a while) a
            // move, a press's among them, can hide in what the clock may
            // have drifted or slewed meanwhile: on a level of its own, what
            // comes now cannot tilt the drift.
            startSegment(std::nullopt);
        }
    }
    m_last = burst;

    m_recent.push_back(burst);
    while (!m_recent.empty() && (at - m_recent.front().at > Span || m_recent.size() > MaxBursts))
        m_recent.pop_front();
    m_estimate = median(m_recent);
    if (!m_bin.empty() && (at - m_bin.front().at >= Span || m_bin.size() >= MaxBursts))
        closeBin();
    m_bin.push_back(burst);
}

void ClockOffset::breakSegment()
{
    m_broken = true;
}

void ClockOffset::rebase(std::chrono::milliseconds by)
{
    // Every figure of the segment assumes the delay, so another one (a delay
    // measured anew, or set by hand) shifts them all alike: the drift, which
    // each segment's own level leaves out, stays as it was.
    for (Burst &burst : m_recent)
        burst.offset -= by;
    for (Burst &burst : m_bin)
        burst.offset -= by;
    if (m_estimate)
        m_estimate->offset -= by;
    if (!m_segments.empty()) {
        for (Point &point : m_segments.back().points)
            point.offset -= by;
        m_segments.back().receiverDelay += by;
    }
}

void ClockOffset::startSegment(std::optional<microseconds> step)
{
    closeBin();
    ++m_begun;
    m_broken = false;
    m_recent.clear();
    m_estimate.reset();
    // A segment too short to hold a point is dropped; its step counts
    // towards the next one's.
    if (!m_segments.empty() && m_segments.back().points.empty()) {
        if (step && m_segments.back().step)
            *step += *m_segments.back().step;
        m_segments.pop_back();
    }
    m_segments.push_back({{}, m_delay, step});
}

void ClockOffset::closeBin()
{
    // A bin of fewer bursts than an estimate needs (the port closed, the
    // clock moved) tells too little to be a point.
    if (const std::optional<Point> point = median(m_bin); point && !m_segments.empty())
        m_segments.back().points.push_back(*point), ++m_points;
    m_bin.clear();
    while (m_points > MaxPoints) {
        std::vector<Point> &oldest = m_segments.front().points;
        oldest.erase(oldest.begin());
        --m_points;
        if (oldest.empty())
            m_segments.pop_front();
    }
    m_drift = fitDrift();
}

std::optional<ClockOffset::Point> ClockOffset::median(const std::deque<Burst> &bursts)
{
    if (bursts.size() < std::size_t(MinBursts))
        return std::nullopt;
    std::vector<microseconds> offsets;
    offsets.reserve(bursts.size());
    for (const Burst &burst : bursts)
        offsets.push_back(burst.offset);
    const auto middle = offsets.begin() + std::ptrdiff_t(offsets.size() / 2);
    std::nth_element(offsets.begin(), middle, offsets.end());
    microseconds value = *middle;
    if (offsets.size() % 2 == 0)
        value = (value + *std::max_element(offsets.begin(), middle)) / 2;
    return Point{bursts.back().at, bursts.back().epoch, value, int(bursts.size())};
}

std::optional<ClockOffset::Drift> ClockOffset::fitDrift() const
{
    // One slope for all segments, each with its own intercept: the sums of
    // each segment are taken about its own means.
    double sxx = 0, sxy = 0, syy = 0, span = 0;
    int n = 0, fitted = 0;
    for (const Segment &segment : m_segments) {
        const std::vector<Point> &points = segment.points;
        if (points.size() < 2)
            continue;
        const SteadyTime origin = points.front().at;
        double mx = 0, my = 0;
        for (const Point &p : points) {
            mx += seconds(p.at - origin);
            my += duration<double>(p.offset).count();
        }
        mx /= double(points.size());
        my /= double(points.size());
        for (const Point &p : points) {
            const double dx = seconds(p.at - origin) - mx;
            const double dy = duration<double>(p.offset).count() - my;
            sxx += dx * dx;
            sxy += dx * dy;
            syy += dy * dy;
        }
        n += int(points.size());
        ++fitted;
        span += seconds(points.back().at - origin);
    }
    if (span < 60 || sxx <= 0)
        return std::nullopt;
    const double slope = sxy / sxx;
    Drift drift{slope * 1e6, 0, std::chrono::seconds(std::lround(span)), n};
    // The points are medians of many bursts, about independent: the slope's
    // standard error, twice over for about 95 %.
    if (const int freedom = n - fitted - 1; freedom >= 3) {
        const double residuals = std::max(0.0, syy - slope * sxy);
        drift.plusMinusPpm = 2 * std::sqrt(residuals / freedom / sxx) * 1e6;
    }
    return drift;
}

QString ClockOffset::offsetSentence(microseconds offset, bool past)
{
    const qint64 ms = std::chrono::round<std::chrono::milliseconds>(offset).count();
    const QString size = number(double(std::abs(ms)) / 1000, 3);
    if (ms == 0)
        return past ? tr("This PC's clock was on GPS time, to the millisecond")
                    : tr("This PC's clock is on GPS time, to the millisecond");
    if (ms > 0)
        return past ? tr("This PC's clock was %1 s ahead of GPS time").arg(size)
                    : tr("This PC's clock is %1 s ahead of GPS time").arg(size);
    return past ? tr("This PC's clock was %1 s behind GPS time").arg(size)
                : tr("This PC's clock is %1 s behind GPS time").arg(size);
}

QString ClockOffset::secondsText(microseconds offset)
{
    const qint64 ms = std::chrono::round<std::chrono::milliseconds>(offset).count();
    return (ms < 0 ? QStringLiteral("-") : QStringLiteral("+")) + number(double(std::abs(ms)) / 1000, 3)
        + QStringLiteral(" s");
}

QString ClockOffset::driftText(const Drift &drift)
{
    const double perDay = drift.ppm * 86400e-6; // seconds
    const QString day = drift.ppm >= 0 ? tr("gains %1 s a day").arg(number(perDay, 1))
                                       : tr("loses %1 s a day").arg(number(-perDay, 1));
    const QString ppm
        = (drift.ppm < 0 ? QStringLiteral("-") : QStringLiteral("+")) + number(std::abs(drift.ppm), 1);
    if (drift.plusMinusPpm > 0)
        return tr("%1 \u00b1 %2 ppm (%3)").arg(ppm, number(drift.plusMinusPpm, 1), day);
    return tr("%1 ppm (%2)").arg(ppm, day);
}

} // namespace quorvel::clock
