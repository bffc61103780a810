// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The uncertainty of the mean of GPS fixes.
//
// GPS errors drift: multipath, the atmosphere and the satellites' geometry
// change over minutes, so one-second fixes are far from independent, and
// sigma / sqrt(N) flatters the mean many times over. What counts is how
// long the errors stay alike, their correlation time, against the span of
// the session. The method:
//
// 1. The long-run variance (N times the variance of the mean of N fixes) is
//    measured by overlapping batch means: the means of all windows of a
//    given time span, one starting at each fix, scattered around the whole
//    mean. Windows are spans of time, not counts of fixes, so gaps and
//    receivers faster than once a second are taken as they are.
//
// 2. The correlation time is read off the two longest window spans that
//    still fit four times into the session. The errors are modelled as white
//    noise (taken from the differences of successive fixes) plus a first-
//    order Gauss-Markov process, whose correlation decays as exp(-t / tau).
//    For that model the expected batch-means variance at a span, with the
//    session's own mean taken out, is known in closed form; tau is found
//    by inverting it. The longest tau over the spans and the three axes
//    counts, and never less than MinimumCorrelationSeconds. Where the growth
//    seen could be a drift without end, tau is infinite.
//
// 3. A session spanning fewer than SpanPerCorrelation correlation times is
//    too short to tell: no figure is given. (At the limit the fixes hold
//    eight effectively independent samples.)
//
// 4. Otherwise batches of BatchPerCorrelation correlation times give the
//    long-run variance, as 2 V(B) - V(B / 2): batches only a few correlation
//    times long see less than the whole correlation, by a share that falls
//    as 1 / B, and the combination cancels that share (a flat-top batch-
//    means estimator). It is raised by 1 / (1 - 8 tau / T) near the limit,
//    where the correlation time itself is uncertain: sessions that happen
//    to look less correlated than they are would otherwise give radii that
//    fail too often.
//
// 5. The 95 % figures allow for the few batches with 1.5 (T / B - 1)
//    degrees of freedom (overlapping batches): Student's t vertically; and
//    horizontally the circle that holds 95 % of the normal distribution with
//    the mean's covariance north and east, widened by the F distribution's
//    quantile for two dimensions.
//
// Checked on simulated sessions (first-order errors with correlation times
// of 30 s to 5 min, spans of 1 to 60 minutes): where a figure is given, the
// radius holds the true point in 95 to 96 % of sessions; hour-long sessions
// get 1.1 to 1.3 times the true 95 % radius; a one-minute session never
// gets a figure.

#include "uncertainty.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace quorvel::average {

namespace {

constexpr double BatchPerCorrelation = 3;
constexpr double NearLimitWidening = 8;
constexpr double Infinite = std::numeric_limits<double>::infinity();

// The fixes' times and their three coordinates, with running sums so that
// any window's mean takes two subtractions.
class Session
{
public:
    Session(const std::vector<double> &seconds, const std::vector<LocalPoint> &offsets)
        : m_seconds(seconds)
        , m_offsets(offsets)
        , m_count(int(offsets.size()))
    {
        for (auto &sums : m_sums)
            sums.assign(offsets.size() + 1, 0);
        for (int i = 0; i < m_count; ++i) {
            for (int axis = 0; axis < 3; ++axis)
                m_sums[axis][std::size_t(i) + 1] = m_sums[axis][std::size_t(i)] + value(axis, i);
        }
        for (int axis = 0; axis < 3; ++axis)
            m_mean[axis] = m_sums[axis][offsets.size()] / m_count;
        // First to last fix, and one mean interval more: each fix stands for
        // the time until the next.
        const double first = seconds.front(), last = seconds.back();
        m_span = (last - first) * m_count / (m_count - 1);
    }

    int count() const { return m_count; }
    double span() const { return m_span; }
    double value(int axis, int i) const
    {
        const LocalPoint &p = m_offsets[std::size_t(i)];
        return axis == 0 ? p.north : axis == 1 ? p.east : p.up;
    }

    double variance(int axis) const
    {
        double squares = 0;
        for (int i = 0; i < m_count; ++i)
            squares += (value(axis, i) - m_mean[axis]) * (value(axis, i) - m_mean[axis]);
        return squares / (m_count - 1);
    }

    // Half the mean square difference of successive fixes: the white part
    // of the errors, which does not average over time like the rest.
    double whiteVariance(int axis) const
    {
        double squares = 0;
        for (int i = 1; i < m_count; ++i)
            squares += (value(axis, i) - value(axis, i - 1)) * (value(axis, i) - value(axis, i - 1));
        return squares / (2.0 * (m_count - 1));
    }

    // The long-run (co)variance of two axes by overlapping batch means over
    // windows `span` seconds long, one starting at each fix, that end within
    // the session. Each window's mean deviation counts with its fixes; the
    // whole mean taken out costs each window the share c / N.
    double batchMeans(double span, int a, int b) const
    {
        const double end = m_seconds.front() + m_span * (1 + 1e-12);
        double sum = 0, windows = 0;
        int j = 0;
        for (int i = 0; i < m_count && m_seconds[i] + span <= end; ++i) {
            j = std::max(j, i + 1);
            while (j < m_count && m_seconds[j] < m_seconds[i] + span)
                ++j;
            const int c = j - i;
            const double meanA = (m_sums[a][j] - m_sums[a][i]) / c, meanB = (m_sums[b][j] - m_sums[b][i]) / c;
            sum += c * (meanA - m_mean[a]) * (meanB - m_mean[b]);
            windows += 1 - double(c) / m_count;
        }
        return windows > 0 ? sum / windows : 0;
    }

private:
    const std::vector<double> &m_seconds;
    const std::vector<LocalPoint> &m_offsets;
    int m_count;
    std::array<std::vector<double>, 3> m_sums;
    std::array<double, 3> m_mean{};
    double m_span = 0;
};

// The share of a window's variance a first-order Gauss-Markov process keeps
// over a span of x correlation times: 1 - (1 - e^-x) / x.
double keptShare(double x)
{
    return x < 1e-6 ? x / 2 : 1 - (1 - std::exp(-x)) / x;
}

// What batch means over `span` seconds, divided by twice the variance of the
// fixes (both with the session's mean taken out), show for a process with
// correlation time `tau` in a session `total` seconds long: tau itself for
// long sessions, less where the session hides part of the correlation.
double expectedCorrelation(double tau, double span, double total)
{
    const double batches = total / span;
    const double meanShare = keptShare(total / tau);
    const double seen = batches / (batches - 1) * (keptShare(span / tau) - span / total * meanShare);
    return tau * seen / (1 - 2 * tau / total * meanShare);
}

// The correlation time whose expectation is `seen`; infinite where even an
// endless correlation would show less.
double correlationFor(double seen, double span, double total)
{
    double low = 1e-3, high = 1e9;
    if (!(seen < expectedCorrelation(high, span, total)))
        return Infinite;
    for (int i = 0; i < 60; ++i) {
        const double middle = std::sqrt(low * high);
        (expectedCorrelation(middle, span, total) < seen ? low : high) = middle;
    }
    return std::sqrt(low * high);
}

// The correlation time one axis shows, in seconds; 0 for an axis that does
// not vary.
double correlationOf(const Session &session, int axis)
{
    const double variance = session.variance(axis);
    if (!(variance > 0))
        return 0;
    const double white = std::min(session.whiteVariance(axis), 0.999 * variance);
    const double total = session.span(), fixesPerSecond = session.count() / total;
    double span = 1;
    while (total / (2 * span) >= 4)
        span *= 2;
    double tau = 0;
    for (int i = 0; i < 2 && total / span >= 4; ++i, span /= 2) {
        const double seen
            = (session.batchMeans(span, axis, axis) - white) / (2 * (variance - white) * fixesPerSecond);
        tau = std::max(tau, correlationFor(seen, span, total));
    }
    return tau;
}

// Student's t at 97.5 % for nu degrees of freedom, by the Cornish-Fisher
// expansion (within 0.001 from six degrees of freedom on).
double studentT975(double nu)
{
    const double z = 1.959963984540054, z2 = z * z;
    const double z3 = z2 * z, z5 = z3 * z2, z7 = z5 * z2, z9 = z7 * z2;
    return z + (z3 + z) / (4 * nu) + (5 * z5 + 16 * z3 + 3 * z) / (96 * nu * nu)
        + (3 * z7 + 19 * z5 + 17 * z3 - 15 * z) / (384 * nu * nu * nu)
        + (79 * z9 + 776 * z7 + 1482 * z5 - 1920 * z3 - 945 * z) / (92160 * nu * nu * nu * nu);
}

// The F distribution's 95 % point for 2 and m degrees of freedom (closed form).
double fisherF95(double m)
{
    return m / 2 * (std::pow(0.05, -2 / m) - 1);
}

// The radius of the circle that holds 95 % of a centred normal distribution
// whose covariance has the eigenvalues `major` and `minor`.
double circle95(double major, double minor)
{
    // The share beyond a radius r is the mean over the directions of
    // exp(-r^2 / (2 variance in that direction)), by the midpoint rule.
    constexpr int Steps = 32;
    static const auto directions = [] {
        std::array<std::pair<double, double>, Steps> squares{};
        for (int k = 0; k < Steps; ++k) {
            const double angle = (k + 0.5) * std::numbers::pi / 2 / Steps;
            squares[std::size_t(k)] = {std::cos(angle) * std::cos(angle), std::sin(angle) * std::sin(angle)};
        }
        return squares;
    }();
    std::array<double, Steps> variances{};
    for (int k = 0; k < Steps; ++k)
        variances[std::size_t(k)]
            = 2 * (major * directions[std::size_t(k)].first + minor * directions[std::size_t(k)].second);
    const auto outside = [&](double radius) {
        double sum = 0;
        for (const double v : variances)
            sum += std::exp(-radius * radius / v);
        return sum / Steps;
    };
    double low = 0, high = 3 * std::sqrt(major + minor);
    for (int i = 0; i < 40; ++i) {
        const double middle = (low + high) / 2;
        (outside(middle) > 0.05 ? low : high) = middle;
    }
    return (low + high) / 2;
}

} // namespace

MeanUncertainty meanUncertainty(const std::vector<double> &seconds, const std::vector<LocalPoint> &offsets)
{
    MeanUncertainty result;
    result.correlationSeconds = Infinite;
    if (offsets.size() < 3 || seconds.size() != offsets.size() || !(seconds.back() > seconds.front()))
        return result;
    const Session session(seconds, offsets);
    const double total = session.span();

    double tau = MinimumCorrelationSeconds;
    for (int axis = 0; axis < 3; ++axis)
        tau = std::max(tau, correlationOf(session, axis));
    result.correlationSeconds = tau;
    if (!(total >= SpanPerCorrelation * tau))
        return result;

    const double batch = BatchPerCorrelation * tau;
    const double widening = 1 / (1 - NearLimitWidening * tau / total);
    const double nu = 1.5 * (total / batch - 1);
    // The mean's (co)variance: flat-top batch means, never below the plain
    // ones on the diagonal.
    const auto covariance = [&](int a, int b) {
        const double plain = session.batchMeans(batch, a, b);
        const double flatTop = 2 * plain - session.batchMeans(batch / 2, a, b);
        return widening * (a == b ? std::max(flatTop, plain) : flatTop) / session.count();
    };

    const double north = covariance(0, 0), east = covariance(1, 1), northEast = covariance(0, 1);
    if (north + east > 0) {
        const double half = (north + east) / 2;
        const double root = std::sqrt(std::max(half * half - (north * east - northEast * northEast), 0.0));
        const double major = half + root, minor = std::max(half - root, 0.0);
        // Two variances estimated, each with nu degrees of freedom: together
        // as many as their sum shows (Satterthwaite).
        const double nuBoth = nu * (major + minor) * (major + minor) / (major * major + minor * minor);
        result.horizontal95 = circle95(major, minor) * std::sqrt(fisherF95(nuBoth) / -std::log(0.05));
    }
    if (const double up = covariance(2, 2); up > 0)
        result.vertical95 = studentT975(nu) * std::sqrt(up);
    return result;
}

} // namespace quorvel::average
