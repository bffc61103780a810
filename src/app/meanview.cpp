// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "meanview.h"

#include "app/appinfo.h"
#include "app/savetarget.h"
#include "app/scatterwindow.h"
#include "average/export.h"
#include "average/numbertext.h"
#include "files/pointfiles.h"
#include "files/wholefile.h"
#include "ring/samplering.h"
#include "text/reasontext.h"

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include <algorithm>

namespace quorvel {

MeanView::MeanView(QLineEdit *latitude, QLineEdit *longitude, QLineEdit *elevation, const SampleRing &fixes,
                   QWidget *window)
    : QObject(window)
    , m_latitude(latitude)
    , m_longitude(longitude)
    , m_elevation(elevation)
    , m_fixes(fixes)
    , m_window(window)
{
    // The usual text actions, and the position taken elsewhere.
    for (QLineEdit *box : {m_latitude, m_longitude, m_elevation}) {
        box->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(box, &QLineEdit::customContextMenuRequested, this,
                [this, box](const QPoint &at) { showMenu(box, at); });
    }
}

StatusMessage MeanView::show(const average::Average &mean)
{
    const std::string separator = QLocale().decimalPoint().toStdString();
    const auto write = [&separator](QLineEdit *box, double value) {
        box->setText(QString::fromStdString(average::numberText(value, separator)));
        box->setCursorPosition(0); // the degrees matter most: show the start
    };
    write(m_latitude, mean.mean.latitude);
    write(m_longitude, mean.mean.longitude);
    write(m_elevation, mean.mean.elevation);
    // The exports of the mean write what is shown, not what is stored by then.
    m_shownMean = mean;
    m_shownSpread = *average::spreadOf(m_fixes, mean);
    m_shownAt = QDateTime::currentDateTime();
    m_shownStored = m_fixes.storedEver;
    m_shownSaved = false;
    return describe();
}

void MeanView::clear()
{
    for (QLineEdit *box : {m_latitude, m_longitude, m_elevation}) {
        // Emptied with nothing to undo: Ctrl+Z would bring back the mean of
        // the point before, as if it were this one's.
        box->setText(QString());
        box->setToolTip(QString());
    }
    m_shownMean.reset();
    m_shownSaved = false;
}

void MeanView::setPointBefore(const std::optional<files::KeptPoint> &before)
{
    m_pointBefore = before;
}

bool MeanView::showsAllFixes() const
{
    return m_shownMean && m_shownStored == m_fixes.storedEver;
}

std::optional<files::MeanPoint> MeanView::shownPoint() const
{
    if (!m_shownMean)
        return std::nullopt;
    return files::meanPoint(*m_shownMean, m_shownSpread, QString(), m_shownAt);
}

StatusMessage MeanView::describe()
{
    const average::Average &mean = *m_shownMean;
    const average::Spread &spread = m_shownSpread;
    const QString separator = QLocale().decimalPoint();
    const auto metres = [&separator](double value, int decimals = 2) {
        return average::fixedText(value, decimals, separator);
    };
    // Spreads to the centimetre, from ten metres on to the decimetre.
    const auto spreadMetres = [&metres](double value) { return metres(value, value < 10 ? 2 : 1); };
    // The uncertainty of the mean as a 95 % figure, or that the session is
    // too short to tell.
    const auto uncertaintyOf = [&separator](const std::optional<double> &radius) {
        return tr("Uncertainty of the mean: %1").arg(average::uncertaintyText(radius, separator));
    };
    const QString known = knownPointText();
    const QString before = pointBeforeText();
    QString uncertainty = uncertaintyOf(spread.mean.horizontal95);
    for (const QString &line : {known, before}) {
        if (!line.isEmpty())
            uncertainty += QLatin1Char('\n') + line;
    }
    const double latitude = average::latitudeDegrees(mean), longitude = average::longitudeDegrees(mean);
    // Decimal degrees, both sexagesimal forms, the grids, the spread along the axis.
    const grids::GeoPoint point{latitude, longitude};
    const QString grids = tr("%1\nMGRS %2").arg(grids::utmText(point), grids::mgrsText(point));
    const auto axisTip
        = [&](const QString &form, double degrees, QChar positive, QChar negative, double deviation) {
              return form
                  .arg(average::decimalDegrees(degrees), average::degreesMinutes(degrees, positive, negative),
                       average::degreesMinutesSeconds(degrees, positive, negative), grids,
                       spreadMetres(deviation), uncertainty)
                  .trimmed();
          };
    m_latitude->setToolTip(axisTip(tr("%1\u00b0 (decimal degrees, north positive)\n%2\n%3\n%4\n"
                                      "Standard deviation north: %5 m\n%6"),
                                   latitude, u'N', u'S', spread.sdNorth));
    m_longitude->setToolTip(axisTip(tr("%1\u00b0 (decimal degrees, east positive)\n%2\n%3\n%4\n"
                                       "Standard deviation east: %5 m\n%6"),
                                    longitude, u'E', u'W', spread.sdEast));
    QStringList elevation{
        tr("%1 m above mean sea level, as the receiver reports it").arg(metres(mean.mean.elevation))};
    if (mean.geoidSeparation)
        elevation << tr("Ellipsoidal height (WGS 84): %1 m (geoid separation %2 m)")
                         .arg(metres(mean.mean.elevation + *mean.geoidSeparation),
                              metres(*mean.geoidSeparation));
    elevation << tr("Standard deviation up: %1 m").arg(spreadMetres(spread.sdUp));
    elevation << uncertaintyOf(spread.mean.vertical95);
    m_elevation->setToolTip(elevation.join(QLatin1Char('\n')));

    // The status line: count, time span, spread. The whole description,
    // the uncertainty of the mean with it, in its tooltip.
    QStringList details{average::spreadDescription(spread, separator)};
    for (const QString &line : {known, before}) {
        if (!line.isEmpty())
            details << line;
    }
    return {tr("%1\nCEP50 %2 m, CEP95 %3 m")
                .arg(average::fixesText(spread.count, spread.spanSeconds), spreadMetres(spread.cep50),
                     spreadMetres(spread.cep95)),
            details.join(QLatin1Char('\n'))};
}

QString MeanView::knownPointText(grids::Wording wording) const
{
    if (!m_knownPoint || !m_shownMean)
        return {};
    const grids::GeoPoint mean{average::latitudeDegrees(*m_shownMean),
                               average::longitudeDegrees(*m_shownMean)};
    return grids::comparisonText(grids::compareWith(mean, *m_knownPoint, m_shownSpread.mean.horizontal95),
                                 QLocale().decimalPoint(), wording);
}

QString MeanView::pointBeforeText() const
{
    if (!m_pointBefore || !m_shownMean)
        return {};
    const files::MeanPoint &before = m_pointBefore->point;
    // Seen from the mean, as a known point is.
    const grids::Comparison seen = grids::compareWith(
        {average::latitudeDegrees(*m_shownMean), average::longitudeDegrees(*m_shownMean)},
        {before.latitude, before.longitude}, std::nullopt);
    return tr("Previous point (%1): %2 from the mean")
        .arg(before.name, grids::legText(seen, QLocale().decimalPoint()));
}

bool MeanView::setKnownPoint(const QString &text, QString *error)
{
    if (text.trimmed().isEmpty() && m_knownPoint) {
        clearKnownPoint();
        return true;
    }
    const std::optional<grids::GeoPoint> point = grids::parsePosition(text, error);
    if (!point)
        return false;
    m_knownPoint = point;
    m_knownText = text.simplified();
    if (!m_shownMean)
        return true;
    const StatusMessage described = describe();
    // Two short lines for the status line; the whole in its tooltip.
    Q_EMIT told({knownPointText(grids::Wording::Brief), described.details});
    return true;
}

void MeanView::clearKnownPoint()
{
    m_knownPoint.reset();
    m_knownText.clear();
    if (!m_shownMean)
        return;
    describe(); // the tooltips without it
    Q_EMIT told({tr("Known point cleared."),
                 tr("The known point is cleared: the mean is no longer compared with it.")});
}

void MeanView::refreshScatter(const average::Scatter *measured)
{
    if (!m_scatter)
        return;
    std::optional<average::Scatter> scatter;
    if (!measured) {
        scatter = average::scatterOf(m_fixes);
        measured = scatter ? &*scatter : nullptr;
    }
    if (measured)
        m_scatter->setFixes(measured->points, measured->spread);
    else
        m_scatter->setFixes({}, {});
}

void MeanView::showMenu(QLineEdit *box, const QPoint &at)
{
    QMenu *menu = box->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->setToolTipsVisible(true);
    // The mean is the one the boxes show, whatever was logged since.
    const QString calcFirst = tr("Press Calc Position first.");
    QMenu *copy = menu->addMenu(tr("Copy p&osition"));
    copy->menuAction()->setEnabled(m_shownMean.has_value());
    copy->menuAction()->setToolTip(m_shownMean ? QString() : calcFirst);
    if (m_shownMean) {
        const double latitude = average::latitudeDegrees(*m_shownMean),
                     longitude = average::longitudeDegrees(*m_shownMean);
        const grids::GeoPoint point{latitude, longitude};
        const QString forms[] = {
            average::positionForMaps(*m_shownMean),
            average::degreesMinutesSeconds(latitude, u'N', u'S') + QStringLiteral(", ")
                + average::degreesMinutesSeconds(longitude, u'E', u'W'),
            grids::utmText(point),
            grids::mgrsText(point),
        };
        const QString names[]
            = {tr("&Decimal degrees"), tr("Degrees, &minutes, seconds"), tr("&UTM"), tr("M&GRS")};
        for (int i = 0; i < 4; ++i) {
            QAction *action = copy->addAction(
                names[i], this, [text = forms[i]] { QGuiApplication::clipboard()->setText(text); });
            action->setToolTip(forms[i]);
            action->setEnabled(!forms[i].isEmpty());
        }
        copy->setToolTipsVisible(true);
    }
    // Asks where, then saves with `save`.
    const auto saveAction = [this, menu](const QString &text, const QString &name, const QString &filter,
                                         bool (MeanView::*save)(const QString &)) {
        const QString title = QString(text).remove(QLatin1Char('&'));
        return menu->addAction(text + QStringLiteral("\u2026"), this, [this, title, name, filter, save] {
            const QString path = QFileDialog::getSaveFileName(m_window, title, name, filter);
            if (!path.isEmpty())
                (this->*save)(path);
        });
    };
    saveAction(tr("Save &fixes as CSV"), QStringLiteral("fixes.csv"), tr("CSV files (*.csv)"),
               &MeanView::saveFixesCsv)
        ->setEnabled(m_fixes.SampleCount > 0);
    QAction *mean = menu->addAction(tr("Save &mean as\u2026"), this, &MeanView::askMeanFile);
    QAction *known = menu->addAction(tr("Compare with a &known point\u2026"), this, &MeanView::askKnownPoint);
    for (QAction *action : {mean, known}) {
        action->setEnabled(m_shownMean.has_value());
        action->setToolTip(m_shownMean ? QString() : calcFirst);
    }
    if (m_knownPoint)
        menu->addAction(tr("C&lear the known point"), this, &MeanView::clearKnownPoint)
            ->setToolTip(m_knownText);
    menu->addAction(tr("Show &scatter\u2026"), this, &MeanView::showScatter);
    menu->addAction(tr("Show points of the &day\u2026"), this, &MeanView::pointsWanted);
    menu->popup(box->mapToGlobal(at));
}

void MeanView::showScatter()
{
    if (!m_scatter)
        m_scatter = new ScatterWindow(m_window);
    refreshScatter();
    m_scatter->show();
    m_scatter->raise();
    m_scatter->activateWindow();
}

void MeanView::askKnownPoint()
{
    const QString title = tr("Compare with a known point");
    QString text = m_knownText;
    for (;;) {
        bool ok = false;
        text = QInputDialog::getText(m_window, title,
                                     m_knownPoint
                                         ? tr("&Position of the known point (decimal degrees, degrees, "
                                              "minutes and seconds, UTM or MGRS; empty to clear it):")
                                         : tr("&Position of the known point (decimal degrees, degrees, "
                                              "minutes and seconds, UTM or MGRS):"),
                                     QLineEdit::Normal, text, &ok);
        if (!ok)
            return;
        QString error;
        if (setKnownPoint(text, &error))
            return;
        // The reason names what is wrong with what was typed; the forms
        // taken say what to type instead.
        QMessageBox::warning(m_window, title,
                             tr("This is no position that can be read (%1).\n\nType it as decimal degrees "
                                "(48.1173 11.5167), degrees, minutes and seconds (48\u00b007'02\"N "
                                "11\u00b031'00\"E), UTM (32U 687302 5332401) or MGRS (32UPU8730232401), "
                                "with a point before decimals.")
                                 .arg(error));
    }
}

bool MeanView::saveFixesCsv(const QString &path)
{
    return saveFile(path, average::fixesAsCsv(m_fixes));
}

bool MeanView::askMeanFile()
{
    const QStringList filters{tr("GPX (*.gpx)"), tr("KML (*.kml)"), tr("GeoJSON (*.geojson *.json)")};
    QString filter = filters.first();
    const QString title = tr("Save mean as");
    const QString path = QFileDialog::getSaveFileName(m_window, title, QStringLiteral("mean.gpx"),
                                                      filters.join(QStringLiteral(";;")), &filter,
                                                      QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return false;
    const auto chosen = files::PointFormat(std::max<qsizetype>(0, filters.indexOf(filter)));
    bool ok = false;
    const QString name
        = QInputDialog::getText(m_window, title, tr("&Name of the point:"), QLineEdit::Normal,
                                m_shownAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), &ok);
    // A point without a name is named by when its mean was taken.
    return ok
        && saveMean(path,
                    name.trimmed().isEmpty() ? m_shownAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                             : name,
                    chosen);
}

bool MeanView::saveMean(const QString &path, const QString &name, std::optional<files::PointFormat> format)
{
    if (!m_shownMean)
        return false;
    // The name's extension decides; a name without one gets that of `format`.
    const std::optional<files::PointFormat> named = files::pointFormatOf(path);
    const files::PointFormat kind = named.value_or(format.value_or(files::PointFormat::Gpx));
    QString target = path;
    if (!named)
        target += kind == files::PointFormat::Gpx ? QStringLiteral(".gpx")
            : kind == files::PointFormat::Kml     ? QStringLiteral(".kml")
                                                  : QStringLiteral(".geojson");
    const QString kindName = files::pointFormatName(kind);
    const files::MeanPoint point = files::meanPoint(*m_shownMean, m_shownSpread, name, m_shownAt);
    QByteArray content = files::pointFile(kind, point, QStringLiteral("GPS Quorvel %1").arg(Version));

    // A file that is there already: a day's points may go into one file.
    QFile existing(target);
    if (const QString why = notAFile(target); !why.isEmpty()) {
        Q_EMIT failed(why);
        return false;
    }
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly)) {
            Q_EMIT failed(
                tr("%1 could not be read: %2.").arg(target, text::reasonText(existing.errorString())));
            return false;
        }
        QString why;
        const std::optional<QByteArray> added = files::withPointAdded(kind, existing.readAll(), point, &why);
        QMessageBox box(QMessageBox::Question, tr("Save mean as"), QString(), QMessageBox::Cancel, m_window);
        QPushButton *add = nullptr;
        if (added) {
            box.setText(tr("%1 is a %2 file already.\n\nAdd the point to the points in it, or replace the "
                           "file with one that holds this point alone?")
                            .arg(target, kindName));
            add = box.addButton(tr("&Add the point"), QMessageBox::AcceptRole);
        } else {
            box.setIcon(QMessageBox::Warning);
            box.setText(tr("%1 is not a %2 file the point can be added to (%3).\n\nReplace it with a file "
                           "that holds this point alone?")
                            .arg(target, kindName, text::reasonText(why)));
        }
        QPushButton *replace = box.addButton(tr("&Replace the file"), QMessageBox::DestructiveRole);
        // Enter adds; nothing is replaced by a key pressed in passing.
        box.setDefaultButton(add ? add : qobject_cast<QPushButton *>(box.button(QMessageBox::Cancel)));
        box.setEscapeButton(QMessageBox::Cancel);
        box.exec();
        if (add && box.clickedButton() == add)
            content = *added;
        else if (box.clickedButton() != replace)
            return false;
    }
    if (!saveFile(target, content))
        return false;
    m_shownSaved = true;
    Q_EMIT meanSaved(point);
    return true;
}

bool MeanView::saveFile(const QString &path, const QByteArray &content)
{
    if (const QString why = notAFile(path); !why.isEmpty()) {
        Q_EMIT failed(why);
        return false;
    }
    QString error;
    if (files::replaceFile(path, content, &error)) {
        Q_EMIT told({tr("Saved to %1.").arg(QFileInfo(path).fileName()),
                     tr("Saved to %1.").arg(QDir::toNativeSeparators(path))});
        return true;
    }
    Q_EMIT failed(tr("%1 could not be saved: %2.").arg(path, text::reasonText(error)));
    return false;
}

} // namespace quorvel
