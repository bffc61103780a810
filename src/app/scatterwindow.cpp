// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "scatterwindow.h"

#include "average/export.h"

#include <QLocale>
#include <QPainter>
#include <QShortcut>

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

// The longest bar of 1, 2 or 5 times a power of ten metres not longer than `metres`.
double niceLength(double metres)
{
    const double power = std::pow(10, std::floor(std::log10(metres)));
    for (const double step : {5.0, 2.0, 1.0}) {
        if (step * power <= metres)
            return step * power;
    }
    return power;
}

// Three significant digits, below a metre in centimetres: "1.23 m", "84 cm".
QString metresText(double metres)
{
    const double value = metres >= 1 ? metres : metres * 100;
    const QString text = average::fixedText(value,
                                            value < 10        ? 2
                                                : value < 100 ? 1
                                                              : 0,
                                            QLocale().decimalPoint(), average::Zeros::Trimmed);
    return metres >= 1 ? QStringLiteral("%1 m").arg(text) : QStringLiteral("%1 cm").arg(text);
}

} // namespace

ScatterWindow::ScatterWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(tr("Scatter of the fixes \u2013 GPS Quorvel"));
    // A picture says nothing to a screen reader: its description does.
    setAccessibleName(tr("Scatter of the fixes"));
    setAccessibleDescription(summary());
    setAttribute(Qt::WA_DeleteOnClose);
    resize(360, 380);
    setMinimumSize(200, 220);
    // It has no buttons: the keys that close a window close it.
    for (const QKeySequence &keys : {QKeySequence(QKeySequence::Close), QKeySequence(Qt::Key_Escape)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
}

void ScatterWindow::setFixes(std::vector<average::LocalPoint> points, const average::Spread &spread)
{
    m_points = std::move(points);
    m_spread = spread;
    setAccessibleDescription(summary());
    update();
}

QString ScatterWindow::summary() const
{
    const int n = m_spread.count;
    if (m_points.empty())
        return tr("No fixes stored.");
    return tr("%n fix(es) around their mean; CEP50 %1, CEP95 %2.", nullptr, n)
        .arg(metresText(m_spread.cep50), metresText(m_spread.cep95));
}

std::pair<QRectF, QRectF> ScatterWindow::circleLabels(QPointF centre, double cep50, double cep95,
                                                      QSizeF label50, QSizeF label95, double right)
{
    // CEP95's label above its circle, CEP50's below its own: equal circles
    // (one fix, or fixes all alike) then keep them apart.
    const auto beside = [&](double radius, QSizeF size, bool above) {
        const double x = std::min(centre.x() + radius * 0.71 + 3, right - size.width());
        const double y
            = above ? centre.y() - radius * 0.71 - 3 - size.height() : centre.y() + radius * 0.71 + 3;
        return QRectF(QPointF(x, y), size);
    };
    return {beside(cep50, label50, false), beside(cep95, label95, true)};
}

void ScatterWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(font());
    const int line = metrics.lineSpacing();

    p.setPen(palette().text().color());
    p.drawText(QRect(8, 4, width() - 16, line), Qt::AlignLeft, average::fixesText(m_spread.count));
    p.drawText(QRect(8, 4, width() - 16, line), Qt::AlignRight, tr("N \u2191"));
    if (m_points.empty())
        return;

    // The plot: a square below the text, the mean at its centre, scaled so
    // that the CEP95 circle and nearly every fix fit.
    const QRectF plot = QRectF(8, 8 + line, width() - 16, height() - 24 - 3 * line);
    const QPointF centre = plot.center();
    double extent = m_spread.cep95 * 1.3;
    for (const average::LocalPoint &point : m_points)
        extent = std::max(extent, std::hypot(point.north, point.east));
    extent = std::max(extent, 0.01);
    const double scale = std::min(plot.width(), plot.height()) / 2 / extent; // pixels per metre

    p.setPen(QPen(palette().mid().color(), 1, Qt::DotLine));
    p.drawLine(QPointF(plot.left(), centre.y()), QPointF(plot.right(), centre.y()));
    p.drawLine(QPointF(centre.x(), plot.top()), QPointF(centre.x(), plot.bottom()));

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x5f, 0xbf, 150));
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        const QPointF at(centre.x() + m_points[i].east * scale, centre.y() - m_points[i].north * scale);
        if (i + 1 == m_points.size())
            p.setBrush(QColor(0xd0, 0x20, 0x20)); // the newest fix
        p.drawEllipse(at, 2.5, 2.5);
    }

    p.setBrush(Qt::NoBrush);
    const QString label50 = tr("CEP50 %1").arg(metresText(m_spread.cep50));
    const QString label95 = tr("CEP95 %1").arg(metresText(m_spread.cep95));
    const auto size = [&metrics](const QString &label) {
        return QSizeF(metrics.horizontalAdvance(label), metrics.height());
    };
    const auto [at50, at95] = circleLabels(centre, m_spread.cep50 * scale, m_spread.cep95 * scale,
                                           size(label50), size(label95), width() - 4);
    const auto circle = [&](double radius, const QColor &colour, const QRectF &at, const QString &label) {
        p.setPen(QPen(colour, 1.5));
        p.drawEllipse(centre, radius * scale, radius * scale);
        p.drawText(at, Qt::AlignLeft | Qt::AlignVCenter, label);
    };
    circle(m_spread.cep50, QColor(0x10, 0x80, 0x10), at50, label50);
    circle(m_spread.cep95, QColor(0xc0, 0x60, 0x00), at95, label95);

    // The scale bar, bottom left.
    const double bar = niceLength(extent / 2);
    const double y = height() - 8 - line;
    p.setPen(QPen(palette().text().color(), 2));
    p.drawLine(QPointF(8, y), QPointF(8 + bar * scale, y));
    p.drawText(QRectF(8, y + 2, width() - 16, line), Qt::AlignLeft, metresText(bar));
}

} // namespace quorvel
