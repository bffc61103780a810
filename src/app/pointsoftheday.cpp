// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pointsoftheday.h"

#include "app/pointswindow.h"
#include "average/export.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace quorvel {

PointsOfTheDay::PointsOfTheDay(QWidget *window, const QString &path)
    : QObject(window)
    , m_window(window)
    , m_store(path)
    , m_current(m_store.nextNumber())
    , m_failing(!m_store.storing()) // told at start-up
{
}

void PointsOfTheDay::startNext()
{
    // Numbers another program has kept meanwhile are not taken again.
    m_current = std::max(m_current + 1, m_store.nextNumber());
}

void PointsOfTheDay::keep(files::MeanPoint point)
{
    const QList<files::KeptPoint> &kept = m_store.points();
    if (point.name.isEmpty()) {
        const bool there = std::any_of(kept.cbegin(), kept.cend(), [&](const files::KeptPoint &k) {
            return k.number == m_current && k.point.time == point.time;
        });
        if (there)
            return;
        point.name = tr("Point %1, %2")
                         .arg(m_current)
                         .arg(point.time.toLocalTime().toString(QStringLiteral("HH:mm:ss")));
    }
    changed(m_store.keep({m_current, point}));
}

std::optional<files::KeptPoint> PointsOfTheDay::pointBefore() const
{
    const QList<files::KeptPoint> &kept = m_store.points();
    for (auto it = kept.crbegin(); it != kept.crend(); ++it) {
        if (it->number != m_current)
            return *it;
    }
    return std::nullopt;
}

void PointsOfTheDay::showWindow()
{
    if (!m_list) {
        m_list = new PointsWindow(m_window);
        connect(m_list, &PointsWindow::clearWanted, this, &PointsOfTheDay::askClear);
    }
    m_list->setPoints(m_store.points(), keepingText());
    m_list->show();
    m_list->raise();
    m_list->activateWindow();
}

QString PointsOfTheDay::keepingText() const
{
    const QString where = QDir::toNativeSeparators(m_store.path());
    if (!m_store.storing())
        return m_store.problems();
    if (m_failing)
        return tr("The points could not be stored in %1: %2. They are kept until GPS Quorvel ends.")
            .arg(where, m_store.errorString());
    if (m_store.points().isEmpty())
        return tr("No points yet. A mean is kept here when it is saved with Save mean as, and when New point "
                  "in Start Log's menu begins the next point. The points are kept in %1.")
            .arg(where);
    return tr("Kept in %1, across restarts, until the list is cleared.").arg(where);
}

void PointsOfTheDay::changed(bool stored)
{
    const bool toldAlready = m_failing;
    m_failing = !stored;
    if (m_failing && !toldAlready)
        Q_EMIT failed(keepingText());
    if (m_list)
        m_list->setPoints(m_store.points(), keepingText());
}

void PointsOfTheDay::askClear()
{
    const int n = int(m_store.points().size());
    QMessageBox box(
        QMessageBox::Question, tr("Clear the list"),
        average::countedText("Clear the list of the %n point(s) of the day?", n) + QStringLiteral("\n\n")
            + tr("They are removed from the list and from %1. Files they were saved to keep them.")
                  .arg(QDir::toNativeSeparators(m_store.path())),
        QMessageBox::Cancel, m_list ? static_cast<QWidget *>(m_list) : m_window);
    QPushButton *clearIt = box.addButton(tr("C&lear the list"), QMessageBox::DestructiveRole);
    // Nothing is lost by a key pressed in passing.
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    if (box.clickedButton() == clearIt)
        clear();
}

void PointsOfTheDay::clear()
{
    changed(m_store.clear());
    Q_EMIT told({tr("Points of the day cleared."), QString()});
}

} // namespace quorvel
