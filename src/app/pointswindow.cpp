// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pointswindow.h"

#include "average/export.h"
#include "grids/grids.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvel {

PointsWindow::PointsWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(tr("Points of the day \u2013 GPS Quorvel"));
    setAccessibleName(tr("Points of the day"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(600, 320);

    m_keeping = new QLabel(this);
    m_keeping->setWordWrap(true);
    m_keeping->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_table = new QTableWidget(this);
    const QStringList headers{tr("No."),
                              tr("Name"),
                              tr("Time"),
                              tr("Fixes"),
                              tr("Latitude (\u00b0)"),
                              tr("Longitude (\u00b0)"),
                              tr("Elevation (m)"),
                              tr("95 % radius"),
                              tr("Distance to previous"),
                              tr("Bearing to previous")};
    m_table->setColumnCount(int(headers.size()));
    m_table->setHorizontalHeaderLabels(headers);
    m_table->horizontalHeaderItem(Latitude)->setToolTip(tr("Decimal degrees, north positive"));
    m_table->horizontalHeaderItem(Longitude)->setToolTip(tr("Decimal degrees, east positive"));
    m_table->horizontalHeaderItem(Elevation)->setToolTip(
        tr("Above mean sea level, as the receiver reports it"));
    m_table->horizontalHeaderItem(Radius)->setToolTip(
        tr("The uncertainty of the mean: the radius around it that holds the true position with 95 % "
           "confidence"));
    m_table->horizontalHeaderItem(Distance)->setToolTip(
        tr("From this point to the one in the row above, on the WGS 84 ellipsoid"));
    m_table->horizontalHeaderItem(Bearing)->setToolTip(
        tr("From this point to the one in the row above, in degrees clockwise from true north"));
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_table->setTabKeyNavigation(false); // Tab goes on to the buttons
    m_table->setAccessibleName(tr("Points of the day"));

    m_saveAll = new QPushButton(tr("&Save all as\u2026"), this);
    m_clear = new QPushButton(tr("C&lear the list\u2026"), this);
    auto *close = new QPushButton(tr("Close"), this);
    connect(m_saveAll, &QPushButton::clicked, this, &PointsWindow::saveAllWanted);
    connect(m_clear, &QPushButton::clicked, this, &PointsWindow::clearWanted);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_saveAll);
    buttons->addWidget(m_clear);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_keeping);
    layout->addWidget(m_table);
    layout->addLayout(buttons);

    // As the scatter window: the keys that close a window close it.
    for (const QKeySequence &keys : {QKeySequence(QKeySequence::Close), QKeySequence(Qt::Key_Escape)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
    m_table->setFocus();
}

void PointsWindow::setPoints(const QList<files::KeptPoint> &points, const QString &keeping)
{
    const QString separator = QLocale().decimalPoint();
    const auto fixed
        = [&separator](double value, int decimals) { return average::fixedText(value, decimals, separator); };
    m_table->setRowCount(int(points.size()));
    for (int row = 0; row < int(points.size()); ++row) {
        const files::MeanPoint &p = points[row].point;
        QStringList cells{QString::number(points[row].number),
                          p.name,
                          p.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                          QString::number(p.spread.count),
                          fixed(p.latitude, 8),
                          fixed(p.longitude, 8),
                          fixed(p.elevation, 2),
                          p.spread.mean.horizontal95 ? tr("%1 m").arg(fixed(*p.spread.mean.horizontal95, 2))
                                                     : tr("too short"),
                          QString(),
                          QString()};
        if (row > 0) {
            const files::MeanPoint &before = points[row - 1].point;
            // Seen from this point, as the status line sees the one before from a mean.
            const grids::Comparison leg = grids::compareWith(
                {p.latitude, p.longitude}, {before.latitude, before.longitude}, std::nullopt);
            cells[Distance] = tr("%1 m").arg(fixed(leg.distance, 3));
            // On the same spot to the millimetre, a direction would be noise.
            if (leg.distance >= 0.0005)
                cells[Bearing] = tr("%1\u00b0").arg(fixed(leg.bearing, 2));
        }
        // The whole description, as the point files have it, for the mouse and for a screen reader.
        const QString description = average::spreadDescription(p.spread, separator);
        for (int column = 0; column < int(cells.size()); ++column) {
            auto *item = new QTableWidgetItem(cells[column]);
            if (column != Name)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            item->setToolTip(description);
            item->setData(Qt::AccessibleDescriptionRole, description);
            m_table->setItem(row, column, item);
        }
    }
    m_table->resizeColumnsToContents();
    // A long name (a description pasted as the name) is cut short with an
    // ellipsis rather than pushing the distances out of sight; the cell
    // holds it whole, for a screen reader and for a column made wider.
    const int nameRoom = m_table->fontMetrics().averageCharWidth() * 40;
    m_table->setColumnWidth(Name, std::min(m_table->columnWidth(Name), nameRoom));
    // Opened the first time as wide as its columns, as far as the screen allows.
    if (!isVisible()) {
        const int wanted = m_table->horizontalHeader()->length() + 2 * m_table->frameWidth()
            + m_table->verticalScrollBar()->sizeHint().width() + layout()->contentsMargins().left()
            + layout()->contentsMargins().right();
        const int room = screen() ? screen()->availableGeometry().width() - 40 : wanted;
        resize(std::max(width(), std::min(wanted, room)), height());
    }
    m_keeping->setText(keeping);
    m_table->setAccessibleDescription(average::countedText("%n point(s)", int(points.size()))
                                      + QStringLiteral(". ") + keeping);
    m_saveAll->setEnabled(!points.isEmpty());
    m_clear->setEnabled(!points.isEmpty());
    if (!points.isEmpty() && !m_table->currentItem())
        m_table->setCurrentCell(int(points.size()) - 1, 0);
}

} // namespace quorvel
