// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "average/statistics.h"

#include <QWidget>

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

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::vector<average::LocalPoint> m_points;
    average::Spread m_spread;
};

} // namespace quorvel
