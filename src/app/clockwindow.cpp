// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clockwindow.h"

#include <QDateTime>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QShortcut>

#include <algorithm>
#include <cmath>
#include <vector>

namespace quorvel {

namespace {

// The step of 1, 2 or 5 times a power of ten nearest above `span`.
double niceStep(double span)
{
    const double power = std::pow(10, std::floor(std::log10(span)));
    for (const double step : {1.0, 2.0, 5.0}) {
        if (step * power >= span)
            return step * power;
    }
    return 10 * power;
}

QString millisecondsText(double ms, double step)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const int decimals = step >= 1 ? 0 : step >= 0.1 ? 1 : 2;
    const QString sign = ms > 0 ? QStringLiteral("+") : ms < 0 ? QStringLiteral("\u2212") : QString();
    return QStringLiteral("%1%2 ms").arg(sign, locale.toString(std::abs(ms), 'f', decimals));
}

QString localTime(link::UtcTime at)
{
    const qint64 ms = std::chrono::floor<std::chrono::milliseconds>(at.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

ClockWindow::ClockWindow(const clock::ClockOffset &offset, const bool &keeping, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_offset(offset)
    , m_keeping(keeping)
{
    setWindowTitle(tr("Clock against GPS time \u2013 GPS Quorvel"));
    // A plot says nothing to a screen reader: its description does.
    setAccessibleName(tr("PC clock against GPS time"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(520, 400);
    setMinimumSize(300, 260);
    // It has no buttons: the keys that close a window close it.
    for (const QKeySequence &keys : {QKeySequence(QKeySequence::Close), QKeySequence(Qt::Key_Escape)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
}

void ClockWindow::refresh(const QString &description)
{
    if (m_description != description) {
        m_description = description;
        setAccessibleDescription(description);
    }
    update();
}

void ClockWindow::paintEvent(QPaintEvent *)
{
    using clock::ClockOffset;
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(font());
    const int line = metrics.lineSpacing();

    p.setPen(palette().text().color());
    const QRect textArea(8, 6, width() - 16, height());
    const QRect words = metrics.boundingRect(textArea, Qt::TextWordWrap, m_description);
    p.drawText(textArea, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, m_description);

    // The points of each segment, and the offset now after the last.
    struct Dot
    {
        clock::SteadyTime at;
        double ms;
    };
    std::vector<std::vector<Dot>> runs;
    std::vector<const ClockOffset::Segment *> segments;
    link::UtcTime firstEpoch, lastEpoch;
    std::size_t dots = 0;
    for (const ClockOffset::Segment &segment : m_offset.segments()) {
        std::vector<Dot> run;
        for (const ClockOffset::Point &point : segment.points) {
            run.push_back({point.at, std::chrono::duration<double, std::milli>(point.offset).count()});
            if (dots++ == 0)
                firstEpoch = point.epoch;
            lastEpoch = point.epoch;
        }
        runs.push_back(std::move(run));
        segments.push_back(&segment);
    }
    if (const std::optional<ClockOffset::Point> now = m_offset.estimate(); now && !runs.empty()) {
        runs.back().push_back({now->at, std::chrono::duration<double, std::milli>(now->offset).count()});
        if (dots++ == 0)
            firstEpoch = now->epoch;
        lastEpoch = now->epoch;
    }
    const int top = words.bottom() + 10;
    if (dots < 2) {
        p.drawText(QRect(8, top, width() - 16, line * 2), Qt::TextWordWrap,
                   tr("The plot begins once the receiver has been read for ten seconds."));
        return;
    }

    clock::SteadyTime t0 = clock::SteadyTime::max(), t1 = clock::SteadyTime::min();
    double lo = 0, hi = 0;
    for (const auto &run : runs) {
        for (const Dot &dot : run) {
            t0 = std::min(t0, dot.at);
            t1 = std::max(t1, dot.at);
            lo = std::min(lo, dot.ms);
            hi = std::max(hi, dot.ms);
        }
    }
    const double within = double(m_within.count());
    if (m_keeping) {
        lo = std::min(lo, -within);
        hi = std::max(hi, within);
    }
    const double pad = std::max(0.5, (hi - lo) * 0.08);
    lo -= pad;
    hi += pad;
    const double step = niceStep((hi - lo) / 5);
    const int labelWidth
        = std::max(metrics.horizontalAdvance(millisecondsText(-std::max(std::abs(lo), hi), step)),
                   metrics.horizontalAdvance(millisecondsText(std::max(std::abs(lo), hi), step)));
    const QRectF plot(12 + labelWidth, top, width() - 20 - labelWidth, height() - top - 10 - line);
    if (plot.height() < 40 || plot.width() < 40)
        return;
    const double seconds = std::max(1.0, std::chrono::duration<double>(t1 - t0).count());
    const auto x = [&](clock::SteadyTime at) {
        return plot.left() + std::chrono::duration<double>(at - t0).count() / seconds * plot.width();
    };
    const auto y = [&](double ms) { return plot.bottom() - (ms - lo) / (hi - lo) * plot.height(); };

    // The scale: a line at each step, labelled; GPS time itself stronger.
    p.setFont(font());
    for (double ms = std::ceil(lo / step) * step; ms <= hi; ms += step) {
        const bool zero = std::abs(ms) < step / 2;
        p.setPen(QPen(palette().mid().color(), zero ? 1.5 : 1, zero ? Qt::SolidLine : Qt::DotLine));
        p.drawLine(QPointF(plot.left(), y(ms)), QPointF(plot.right(), y(ms)));
        p.setPen(palette().text().color());
        p.drawText(QRectF(4, y(ms) - line / 2.0, labelWidth + 2, line), Qt::AlignRight | Qt::AlignVCenter,
                   millisecondsText(zero ? 0 : ms, step));
    }
    // On the right, away from the labels of the moves.
    p.drawText(plot.adjusted(4, 2, -4, -2), Qt::AlignRight | Qt::AlignTop, tr("PC ahead \u2191"));
    p.drawText(plot.adjusted(4, 2, -4, -2), Qt::AlignRight | Qt::AlignBottom, tr("PC behind \u2193"));
    p.drawText(QRectF(plot.left(), plot.bottom() + 2, plot.width(), line), Qt::AlignLeft,
               localTime(firstEpoch));
    p.drawText(QRectF(plot.left(), plot.bottom() + 2, plot.width(), line), Qt::AlignRight,
               localTime(lastEpoch));
    // The bound the clock is kept within.
    if (m_keeping) {
        p.setPen(QPen(QColor(0xc0, 0x60, 0x00), 1, Qt::DashLine));
        for (const double bound : {within, -within})
            p.drawLine(QPointF(plot.left(), y(bound)), QPointF(plot.right(), y(bound)));
    }

    const std::optional<ClockOffset::Drift> drift = m_offset.drift();
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const std::vector<Dot> &run = runs[i];
        if (run.empty())
            continue;
        // A move of the clock: a step from the segment before.
        if (const auto moved = segments[i]->step; moved && i > 0) {
            p.setPen(QPen(palette().text().color(), 1, Qt::DotLine));
            const double at = x(run.front().at);
            p.drawLine(QPointF(at, plot.top()), QPointF(at, plot.bottom()));
            p.drawText(QRectF(at + 3, plot.top() + 2, plot.right() - at, line), Qt::AlignLeft,
                       tr("moved %1").arg(ClockOffset::secondsText(*moved)));
        }
        // The drift's line through the segment's points, on its own level.
        const std::vector<ClockOffset::Point> &points = segments[i]->points;
        if (drift && points.size() >= 2) {
            double meanT = 0, meanMs = 0;
            for (const ClockOffset::Point &point : points) {
                meanT += std::chrono::duration<double>(point.at - t0).count();
                meanMs += std::chrono::duration<double, std::milli>(point.offset).count();
            }
            meanT /= double(points.size());
            meanMs /= double(points.size());
            const double slope = drift->ppm * 1e-3; // ms a second
            const auto fitted = [&](clock::SteadyTime at) {
                return meanMs + slope * (std::chrono::duration<double>(at - t0).count() - meanT);
            };
            p.setPen(QPen(QColor(0x10, 0x80, 0x10), 1.5));
            p.drawLine(QPointF(x(run.front().at), y(fitted(run.front().at))),
                       QPointF(x(run.back().at), y(fitted(run.back().at))));
        }
        QPainterPath path(QPointF(x(run.front().at), y(run.front().ms)));
        for (const Dot &dot : run)
            path.lineTo(x(dot.at), y(dot.ms));
        p.setPen(QPen(QColor(0x1f, 0x5f, 0xbf), 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1f, 0x5f, 0xbf));
        for (const Dot &dot : run)
            p.drawEllipse(QPointF(x(dot.at), y(dot.ms)), 2, 2);
    }
    // The offset now.
    if (const std::optional<ClockOffset::Point> now = m_offset.estimate()) {
        p.setBrush(QColor(0xd0, 0x20, 0x20));
        p.drawEllipse(QPointF(x(now->at), y(std::chrono::duration<double, std::milli>(now->offset).count())),
                      3.5, 3.5);
    }
}

} // namespace quorvel
