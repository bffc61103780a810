// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pointsoftheday.h"

#include "app/appinfo.h"
#include "app/pointswindow.h"
#include "app/savetarget.h"
#include "average/export.h"
#include "files/wholefile.h"
#include "text/reasontext.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
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
        connect(m_list, &PointsWindow::saveAllWanted, this, &PointsOfTheDay::askSaveAll);
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
            .arg(where, text::reasonText(m_store.errorString()));
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

QWidget *PointsOfTheDay::dialogParent() const
{
    return m_list && m_list->isVisible() ? static_cast<QWidget *>(m_list) : m_window;
}

void PointsOfTheDay::askSaveAll()
{
    const QStringList filters{tr("GPX (*.gpx)"), tr("KML (*.kml)"), tr("GeoJSON (*.geojson *.json)"),
                              tr("CSV (*.csv)")};
    QString filter = filters.first();
    const QString path
        = QFileDialog::getSaveFileName(dialogParent(), tr("Save all points as"), QStringLiteral("points.gpx"),
                                       filters.join(QStringLiteral(";;")), &filter);
    if (!path.isEmpty())
        saveAll(path, int(std::max<qsizetype>(0, filters.indexOf(filter))));
}

bool PointsOfTheDay::saveAll(const QString &path, int chosenType)
{
    static const QStringList extensions{QStringLiteral(".gpx"), QStringLiteral(".kml"),
                                        QStringLiteral(".geojson"), QStringLiteral(".csv")};
    QString target = path;
    std::optional<files::PointFormat> format = files::pointFormatOf(path);
    bool csv = QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
    if (!format && !csv) {
        chosenType = std::clamp(chosenType, 0, int(extensions.size()) - 1);
        target += extensions[chosenType];
        csv = chosenType == 3;
        if (!csv)
            format = files::PointFormat(chosenType);
        // The file dialog asked about the name typed, not about this one.
        if (QFileInfo::exists(target)
            && QMessageBox::question(dialogParent(), tr("Save all points as"),
                                     tr("%1 is there already. Replace it?").arg(target),
                                     QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel)
                != QMessageBox::Yes)
            return false;
    }
    if (const QString why = notAFile(target); !why.isEmpty()) {
        Q_EMIT failed(why);
        return false;
    }
    QList<files::MeanPoint> points;
    for (const files::KeptPoint &kept : m_store.points())
        points << kept.point;
    const QByteArray content = csv
        ? files::pointsCsv(points)
        : files::pointsFile(*format, points, QStringLiteral("GPS Quorvel %1").arg(Version));
    QString error;
    if (files::replaceFile(target, content, &error)) {
        const QString saved = average::countedText("%n point(s) saved to %1.", int(points.size()))
                                  .arg(QFileInfo(target).fileName());
        Q_EMIT told({saved, QDir::toNativeSeparators(target)});
        if (m_list)
            m_list->setPoints(m_store.points(), saved + QLatin1Char(' ') + keepingText());
        return true;
    }
    Q_EMIT failed(tr("%1 could not be saved: %2.").arg(target, text::reasonText(error)));
    return false;
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
    const bool stored = m_store.clear();
    if (!stored && m_store.storing()) {
        // The file still holds the points: told even where a failure to
        // store was told before, as they come back at the next start.
        m_failing = true;
        Q_EMIT failed(
            tr("The list of points is cleared, but %1 could not be written: %2. The points are still "
               "in it, and are listed again when GPS Quorvel starts.")
                .arg(QDir::toNativeSeparators(m_store.path()), text::reasonText(m_store.errorString())));
    }
    changed(stored);
    if (stored || !m_store.storing())
        Q_EMIT told({tr("Points of the day cleared."), QString()});
}

} // namespace quorvel
