// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The uncertainty of the mean of GPS fixes.
//
// GPS errors drift: multipath, the atmosphere and the satellites' geometry
// change over minutes, so one-second fixes are far from independent, and
// sigma / sqrt(N) flatters the mean many times over. What counts is how
// long the errors stay alike, their correlation time, against the time
// spent logging. The errors are modelled as white noise plus a first-order
// Gauss-Markov process, whose correlation decays as exp(-t / tau).
//
// Logging may have been paused (Stop Log, Start Log): the fixes then come
// in blocks. A pause is no data: windows and batches never reach across
// one, and the logging time leaves it out. The correlation across a pause
// is taken from the time it lasted, so blocks hours apart count as
// independent and blocks a minute apart almost as one.
//
// 1. The correlation time of each axis is read off overlapping batch means
//    over the two longest window spans that fit four times into the longest
//    block: the means of all windows of the span, one starting at each fix,
//    scattered around their block's mean, against the scatter of the fixes
//    themselves, with the white noise (from the differences of successive
//    fixes) taken out. For the model the expected ratio is known in closed
//    form; tau is found by inverting it, pooled over the blocks. The longest
//    tau over the spans and the three axes counts, and never less than
//    MinimumCorrelationSeconds. Where the growth seen could be a drift
//    without end, tau is infinite.
//
// 2. A session whose logging time is shorter than SpanPerCorrelation
//    correlation times is too short to tell: no figure is given.
//
// 3. Otherwise the fixes are cut into Batches batches of equal logging time,
//    none reaching across a pause (each block at least one). The scatter of
//    the batch means around the whole mean gives the mean's covariance, with
//    two corrections that the model gives for these very batches: batches a
//    few correlation times long see less than the whole correlation, so the
//    scatter is scaled by what the model expects it to be against the
//    variance of the whole mean; and neighbouring batches are alike, so
//    they count as fewer degrees of freedom (Satterthwaite's rule). The
//    model is taken at a correlation time raised by 1 + 4 tau / T (T the
//    logging time), because the estimate of tau itself is uncertain near
//    the limit.
//
// 4. The 95 % figures allow for the degrees of freedom: Student's t
//    vertically; and horizontally the circle that holds 95 % of the normal
//    distribution with the mean's covariance north and east, widened by the
//    F distribution's quantile for two dimensions.
//
// Checked on simulated sessions (tests/core/tst_average.cpp, the README's
// table): first-order errors with correlation times of 30 s to 5 min,
// sessions of 1 to 60 minutes, blocks hours apart, and errors of two time
// scales.

#include "uncertainty.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace quorvel::average {

namespace {

constexpr int Batches = 8;
constexpr double NearLimitRaise = 4;
constexpr double Infinite = std::numeric_limits<double>::infinity();

// A run of fixes logged without a pause: fixes [first, end), from `start`
// for `length` seconds (each fix stands for the time until the next).
struct Run
{
    int first = 0;
    int end = 0;
    double start = 0;
    double length = 0;
};

// The variance of the mean over `length` seconds of a unit first-order
// Gauss-Markov process with correlation time `tau`.
double meanVariance(double length, double tau)
{
    const double x = length / tau;
    if (x < 1e-3)
        return 1 - x / 3 + x * x / 12;
    return 2 / (x * x) * (x + std::expm1(-x));
}

// The mean, over windows `span` long placed evenly within a run `length`
// long, of the covariance of the window's mean with the run's mean.
double windowCovariance(double span, double length, double tau)
{
    if (length - span < 1e-9)
        return meanVariance(length, tau);
    const double inside = -std::expm1(-span / tau), outside = -std::expm1(-(length - span) / tau);
    return tau / (span * length) * (2 * span - 2 * tau * tau * inside * outside / (length - span));
}

// The fixes' times and their three coordinates, with running sums so that
// any run's mean takes two subtractions, cut into blocks at the pauses.
class Session
{
public:
    Session(const std::vector<double> &seconds, const std::vector<LocalPoint> &offsets,
            const std::vector<int> &blockStarts)
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
        std::vector<int> starts{0};
        for (const int start : blockStarts) {
            if (start > starts.back() && start < m_count)
                starts.push_back(start);
        }
        starts.push_back(m_count);
        // A block's fixes stand for the time until the next; a block of one
        // fix for the session's usual interval.
        double inside = 0;
        int steps = 0;
        for (std::size_t b = 0; b + 1 < starts.size(); ++b) {
            inside += seconds[std::size_t(starts[b + 1] - 1)] - seconds[std::size_t(starts[b])];
            steps += starts[b + 1] - 1 - starts[b];
        }
        m_interval = steps > 0 && inside > 0 ? inside / steps : 1;
        for (std::size_t b = 0; b + 1 < starts.size(); ++b) {
            const int first = starts[b], end = starts[b + 1];
            const double span = seconds[std::size_t(end - 1)] - seconds[std::size_t(first)];
            const double length = end - first > 1 && span > 0 ? span * (end - first) / (end - first - 1)
                                                              : (end - first) * m_interval;
            m_blocks.push_back({first, end, seconds[std::size_t(first)], length});
            m_logged += length;
        }
    }

    int count() const { return m_count; }
    double logged() const { return m_logged; }
    const std::vector<Run> &blocks() const { return m_blocks; }
    double second(int i) const { return m_seconds[std::size_t(i)]; }
    double value(int axis, int i) const
    {
        const LocalPoint &p = m_offsets[std::size_t(i)];
        return axis == 0 ? p.north : axis == 1 ? p.east : p.up;
    }
    double mean(int axis, int first, int end) const
    {
        return (m_sums[std::size_t(axis)][std::size_t(end)] - m_sums[std::size_t(axis)][std::size_t(first)])
            / (end - first);
    }
    // The fixes' rate in a block.
    double rate(const Run &block) const { return (block.end - block.first) / block.length; }

private:
    const std::vector<double> &m_seconds;
    const std::vector<LocalPoint> &m_offsets;
    int m_count;
    std::array<std::vector<double>, 3> m_sums;
    std::vector<Run> m_blocks;
    double m_logged = 0;
    double m_interval = 1;
};

// The correlation time one axis shows, in seconds; 0 for an axis that does
// not vary.
double correlationOf(const Session &session, int axis)
{
    // Half the mean square difference of successive fixes within blocks is
    // the white part of the errors, which does not average over time like
    // the rest.
    double squares = 0, steps = 0, scatter = 0, longest = 0;
    for (const Run &block : session.blocks()) {
        const double mean = session.mean(axis, block.first, block.end);
        for (int i = block.first; i < block.end; ++i) {
            scatter += (session.value(axis, i) - mean) * (session.value(axis, i) - mean);
            if (i > block.first)
                squares += (session.value(axis, i) - session.value(axis, i - 1))
                    * (session.value(axis, i) - session.value(axis, i - 1));
        }
        steps += block.end - block.first - 1;
        longest = std::max(longest, block.length);
    }
    if (!(scatter > 0))
        return 0;
    if (steps < 1)
        return Infinite; // blocks of one fix each: nothing shows how the errors go on
    const double white = std::min(squares / (2 * steps), 0.999 * scatter / steps);

    double span = 1;
    while (longest / (2 * span) >= 4)
        span *= 2;
    double tau = 0;
    for (int round = 0; round < 2 && longest / span >= 4; ++round, span /= 2) {
        // Windows within the blocks long enough, around their block's mean;
        // each window's mean deviation counts with its fixes.
        struct Seen
        {
            double fixesInWindows, length, fixes;
        };
        std::vector<Seen> seen;
        double windows = 0, whiteOfWindows = 0, fixes = 0, whiteOfFixes = 0;
        for (const Run &block : session.blocks()) {
            if (block.length < 4 * span)
                continue;
            const double mean = session.mean(axis, block.first, block.end);
            const double end = block.start + block.length * (1 + 1e-12);
            const int count = block.end - block.first;
            double inWindows = 0;
            for (int i = block.first, j = block.first; i < block.end && session.second(i) + span <= end;
                 ++i) {
                j = std::max(j, i + 1);
                while (j < block.end && session.second(j) < session.second(i) + span)
                    ++j;
                const double deviation = session.mean(axis, i, j) - mean;
                windows += (j - i) * deviation * deviation;
                whiteOfWindows += 1 - double(j - i) / count;
                inWindows += j - i;
            }
            for (int i = block.first; i < block.end; ++i)
                fixes += (session.value(axis, i) - mean) * (session.value(axis, i) - mean);
            whiteOfFixes += count - 1;
            seen.push_back({inWindows, block.length, double(count)});
        }
        if (seen.empty())
            continue;
        const double ratio = (windows - white * whiteOfWindows) / (fixes - white * whiteOfFixes);
        // What the model expects of that ratio.
        const auto expected = [&](double t) {
            double inWindows = 0, ofFixes = 0;
            for (const Seen &s : seen) {
                inWindows += s.fixesInWindows
                    * (meanVariance(span, t) - 2 * windowCovariance(span, s.length, t)
                       + meanVariance(s.length, t));
                ofFixes += s.fixes * (1 - meanVariance(s.length, t));
            }
            return inWindows / ofFixes;
        };
        double low = 1e-3, high = 1e4 * longest;
        if (!(ratio < expected(high)))
            return Infinite;
        for (int i = 0; i < 60; ++i) {
            const double middle = std::sqrt(low * high);
            (expected(middle) < ratio ? low : high) = middle;
        }
        tau = std::max(tau, std::sqrt(low * high));
    }
    return tau;
}

// What the model says of the batch means' scatter Q = sum of n_i (Y_i - Y)^2
// (n_i fixes in batch i, Y the whole mean): `scale`, its expectation over
// the variance of the whole mean, and `freedom`, its degrees of freedom.
struct BatchModel
{
    double scale = 0;
    double freedom = 0;
};

// Q = Y' A Y with A = diag(n) - n n' / N; for the model's covariance G of
// the batch means, E[Q] = tr(AG), Var(Q) = 2 tr(AGAG), and the variance of
// the whole mean is n'Gn / N^2. Between batches in time order the model's
// covariance factors, G_ij = c_i c_j exp(-(start_j - end_i) / tau) for
// i < j, with c_i = tau (1 - exp(-length_i / tau)) / length_i, so every sum
// over pairs is a running sum: the cost grows with the batches, not with
// their square, however many pauses there were.
BatchModel batchModel(const std::vector<Run> &batches, double fixes, double tau)
{
    const std::size_t m = batches.size();
    std::vector<double> count(m), own(m), factor(m), step(m, 0), through(m);
    for (std::size_t i = 0; i < m; ++i) {
        const Run &b = batches[i];
        count[i] = b.end - b.first;
        own[i] = meanVariance(b.length, tau);
        factor[i] = tau * -std::expm1(-b.length / tau) / b.length;
        through[i] = std::exp(-b.length / tau);
        // The time from this batch's end to the next one's start, never
        // negative (a receiver's clock may step back).
        if (i + 1 < m)
            step[i] = std::max(0.0, batches[i + 1].start - (b.start + b.length));
    }
    // Sum over j != i of G_ij v_j, for the covariances taken to the power
    // `power` (1 or 2).
    const auto others = [&](const std::vector<double> &v, double power) {
        std::vector<double> sums(m, 0);
        double earlier = 0;
        for (std::size_t i = 0; i < m; ++i) {
            sums[i] += std::pow(factor[i], power) * earlier;
            const double gap = std::exp(-power * step[i] / tau);
            earlier = gap * (std::pow(through[i], power) * earlier + std::pow(factor[i], power) * v[i]);
        }
        double later = 0;
        for (std::size_t i = m; i-- > 0;) {
            sums[i] += std::pow(factor[i], power) * later;
            const double gap = i > 0 ? std::exp(-power * step[i - 1] / tau) : 0;
            later = gap * (std::pow(factor[i], power) * v[i] + std::pow(through[i], power) * later);
        }
        return sums;
    };
    std::vector<double> weighted = others(count, 1); // G n
    for (std::size_t i = 0; i < m; ++i)
        weighted[i] += own[i] * count[i];
    std::vector<double> countSquared(m);
    for (std::size_t i = 0; i < m; ++i)
        countSquared[i] = count[i] * count[i];
    const std::vector<double> squaredPairs = others(count, 2); // sum of G_ij^2 n_j, j != i
    double wholeMean = 0, trace = 0, squares = 0, linear = 0, spread = 0;
    for (std::size_t i = 0; i < m; ++i) {
        const double w = weighted[i] / fixes;
        wholeMean += count[i] * weighted[i];
        trace += count[i] * (own[i] - w);
        // tr(AGAG) = sum n_i n_j G_ij^2 - 2 sum n_i w_i (Gn)_i + (sum n_i w_i)^2,
        // with w = Gn / N.
        squares += countSquared[i] * own[i] * own[i] + count[i] * squaredPairs[i];
        linear += count[i] * w * weighted[i];
        spread += count[i] * w;
    }
    wholeMean /= fixes * fixes;
    squares += spread * spread - 2 * linear;
    return {trace / wholeMean, trace * trace / squares};
}

// The regularized incomplete beta function I_x(a, b), by its continued
// fraction (modified Lentz).
double incompleteBeta(double a, double b, double x)
{
    if (x <= 0)
        return 0;
    if (x >= 1)
        return 1;
    if (x > (a + 1) / (a + b + 2))
        return 1 - incompleteBeta(b, a, 1 - x);
    constexpr double Tiny = 1e-300;
    const auto guarded = [](double v) { return std::fabs(v) < Tiny ? Tiny : v; };
    double c = 1, d = 1 / guarded(1 - (a + b) * x / (a + 1)), fraction = d;
    for (int m = 1; m <= 300; ++m) {
        const double even = m * (b - m) * x / ((a + 2 * m - 1) * (a + 2 * m));
        d = 1 / guarded(1 + even * d);
        c = guarded(1 + even / c);
        fraction *= d * c;
        const double odd = -(a + m) * (a + b + m) * x / ((a + 2 * m) * (a + 2 * m + 1));
        d = 1 / guarded(1 + odd * d);
        c = guarded(1 + odd / c);
        fraction *= d * c;
        if (std::fabs(d * c - 1) < 1e-14)
            break;
    }
    const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x)
                                  + b * std::log1p(-x));
    return front * fraction / a;
}

// Student's t at 97.5 % for nu degrees of freedom (nu need not be whole).
double studentT975(double nu)
{
    double low = 1.95, high = 1e4;
    for (int i = 0; i < 80; ++i) {
        const double t = (low + high) / 2;
        // The share of |T| beyond t.
        (incompleteBeta(nu / 2, 0.5, nu / (nu + t * t)) > 0.05 ? low : high) = t;
    }
    return (low + high) / 2;
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

MeanUncertainty meanUncertainty(const std::vector<double> &seconds, const std::vector<LocalPoint> &offsets,
                                const std::vector<int> &blockStarts)
{
    MeanUncertainty result;
    result.correlationSeconds = Infinite;
    if (offsets.size() < 3 || seconds.size() != offsets.size() || !(seconds.back() >= seconds.front()))
        return result;
    const Session session(seconds, offsets, blockStarts);
    const double logged = session.logged();
    result.loggedSeconds = logged;

    double tau = MinimumCorrelationSeconds;
    for (int axis = 0; axis < 3; ++axis)
        tau = std::max(tau, correlationOf(session, axis));
    result.correlationSeconds = tau;
    if (!(logged >= SpanPerCorrelation * tau))
        return result;

    // Batches of equal logging time within the blocks.
    std::vector<Run> batches;
    for (const Run &block : session.blocks()) {
        const int fixes = block.end - block.first;
        const int parts = std::clamp(int(std::lround(Batches * block.length / logged)), 1, fixes);
        for (int k = 0; k < parts; ++k) {
            const int first = block.first + int(std::llround(double(fixes) * k / parts));
            const int end = block.first + int(std::llround(double(fixes) * (k + 1) / parts));
            batches.push_back({first, end, session.second(first), (end - first) / session.rate(block)});
        }
    }
    if (batches.size() < 2)
        return result;
    std::array<std::array<double, 3>, 3> scatter{};
    for (const Run &batch : batches) {
        std::array<double, 3> deviation{};
        for (int axis = 0; axis < 3; ++axis)
            deviation[std::size_t(axis)]
                = session.mean(axis, batch.first, batch.end) - session.mean(axis, 0, session.count());
        for (std::size_t a = 0; a < 3; ++a) {
            for (std::size_t b = 0; b < 3; ++b)
                scatter[a][b] += (batch.end - batch.first) * deviation[a] * deviation[b];
        }
    }
    const BatchModel model = batchModel(batches, session.count(), tau * (1 + NearLimitRaise * tau / logged));
    // The mean's (co)variance.
    const auto covariance = [&](std::size_t a, std::size_t b) { return scatter[a][b] / model.scale; };

    const double north = covariance(0, 0), east = covariance(1, 1), northEast = covariance(0, 1);
    if (north + east > 0) {
        const double half = (north + east) / 2;
        const double root = std::sqrt(std::max(half * half - (north * east - northEast * northEast), 0.0));
        const double major = half + root, minor = std::max(half - root, 0.0);
        // Two variances estimated, each with the batches' degrees of
        // freedom: together as many as their sum shows (Satterthwaite).
        const double both
            = model.freedom * (major + minor) * (major + minor) / (major * major + minor * minor);
        result.horizontal95 = circle95(major, minor) * std::sqrt(fisherF95(both) / -std::log(0.05));
    }
    if (const double up = covariance(2, 2); up > 0)
        result.vertical95 = studentT975(model.freedom) * std::sqrt(up);
    return result;
}

} // namespace quorvel::average
