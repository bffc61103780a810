// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "average/statistics.h"

#include <QWidget>

#include <utility>
#include <vector>

namespace quorvel {

// A picture of the stored fixes in metres around their mean, north up, with
// the circles that hold half (CEP50) and 95 % (CEP95) of them, a scale bar
// and the count.
class ScatterWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ScatterWindow(QWidget *parent = nullptr);

    void setFixes(std::vector<average::LocalPoint> points, const average::Spread &spread);

    // Where the labels of the CEP50 and CEP95 circles stand, given the
    // circles' radii in pixels around `centre` and the labels' sizes: each
    // beside its circle at 45 degrees to the right, left of `right`, CEP95's
    // above and CEP50's below the centre.
    static std::pair<QRectF, QRectF> circleLabels(QPointF centre, double cep50, double cep95, QSizeF label50,
                                                  QSizeF label95, double right);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The count and the CEP figures, in words.
    QString summary() const;

    std::vector<average::LocalPoint> m_points;
    average::Spread m_spread;
};

} // namespace quorvel
