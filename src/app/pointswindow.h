// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "files/pointstore.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace quorvel {

// The points of the day as a table, one row each: number, name, time,
// fixes, the mean in decimal degrees and its elevation, the 95 % radius, and
// the distance and bearing from each point to the one before, on the
// ellipsoid. Its buttons save them all and clear the list; what they do is
// the owner's.
class PointsWindow : public QWidget
{
    Q_OBJECT

public:
    enum Column { Number, Name, Time, Fixes, Latitude, Longitude, Elevation, Radius, Distance, Bearing };

    explicit PointsWindow(QWidget *parent = nullptr);

    // The points, oldest first, and where they are kept (or why they are not).
    void setPoints(const QList<files::KeptPoint> &points, const QString &keeping);

    QTableWidget *table() const { return m_table; }

Q_SIGNALS:
    void saveAllWanted();
    void clearWanted();

private:
    QLabel *m_keeping = nullptr;
    QTableWidget *m_table = nullptr;
    QPushButton *m_saveAll = nullptr;
    QPushButton *m_clear = nullptr;
};

} // namespace quorvel
