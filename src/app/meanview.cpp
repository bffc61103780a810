// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "meanview.h"

#include "app/appinfo.h"
#include "app/scatterwindow.h"
#include "average/export.h"
#include "average/numbertext.h"
#include "ring/samplering.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QSaveFile>
#include <QStringList>

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
    const average::Spread spread = *average::spreadOf(m_fixes, mean);
    m_shownSpread = spread;

    const QLocale locale;
    const auto metres = [&locale](double value) { return locale.toString(value, 'f', value < 10 ? 2 : 1); };
    // The uncertainty of the mean as a 95 % figure, or that the session is
    // too short to tell.
    const auto uncertaintyOf = [&metres](const std::optional<double> &radius) {
        return radius ? tr("Uncertainty of the mean: \u00b1%1 m (95 %)").arg(metres(*radius))
                      : tr("Uncertainty of the mean: too short to tell how good the mean is");
    };
    const QString uncertainty = uncertaintyOf(spread.mean.horizontal95);
    const double latitude = average::latitudeDegrees(mean), longitude = average::longitudeDegrees(mean);
    // Decimal degrees, both sexagesimal forms, the spread along the axis.
    const auto axisTip = [&](const QString &form, double degrees, QChar positive, QChar negative,
                             double deviation) {
        return form
            .arg(average::decimalDegrees(degrees), average::degreesMinutes(degrees, positive, negative),
                 average::degreesMinutesSeconds(degrees, positive, negative), metres(deviation), uncertainty)
            .trimmed();
    };
    m_latitude->setToolTip(axisTip(tr("%1\u00b0 (decimal degrees, north positive)\n%2\n%3\n"
                                      "Standard deviation north: %4 m\n%5"),
                                   latitude, u'N', u'S', spread.sdNorth));
    m_longitude->setToolTip(axisTip(tr("%1\u00b0 (decimal degrees, east positive)\n%2\n%3\n"
                                       "Standard deviation east: %4 m\n%5"),
                                    longitude, u'E', u'W', spread.sdEast));
    QStringList elevation{tr("%1 m above mean sea level, as the receiver reports it")
                              .arg(locale.toString(mean.mean.elevation, 'f', 2))};
    if (mean.geoidSeparation)
        elevation << tr("Ellipsoidal height (WGS 84): %1 m (geoid separation %2 m)")
                         .arg(locale.toString(mean.mean.elevation + *mean.geoidSeparation, 'f', 2),
                              locale.toString(*mean.geoidSeparation, 'f', 2));
    elevation << tr("Standard deviation up: %1 m").arg(metres(spread.sdUp));
    elevation << uncertaintyOf(spread.mean.vertical95);
    m_elevation->setToolTip(elevation.join(QLatin1Char('\n')));

    // The status line: count, time span, spread. The rest in its tooltip.
    const int n = spread.count;
    const QString count = spread.spanSeconds
        ? tr("%n fix(es) over %1", nullptr, n).arg(average::durationText(*spread.spanSeconds))
        : tr("%n fix(es)", nullptr, n);
    QStringList details{average::spreadDescription(spread)};
    if (spread.mean.horizontal95 && spread.mean.vertical95)
        details << tr("Uncertainty of the mean: \u00b1%1 m (95 %) horizontally, \u00b1%2 m (95 %) vertically")
                       .arg(metres(*spread.mean.horizontal95), metres(*spread.mean.vertical95));
    else
        details << uncertainty;
    return {count + QLatin1Char('\n')
                + tr("CEP50 %1 m, CEP95 %2 m").arg(metres(spread.cep50), metres(spread.cep95)),
            details.join(QLatin1Char('\n'))};
}

std::optional<average::Average> MeanView::currentMean() const
{
    std::optional<average::Average> mean = average::averageSamples(m_fixes);
    if (mean && !mean->mean.isFinite())
        return std::nullopt;
    return mean;
}

void MeanView::refreshScatter()
{
    if (!m_scatter)
        return;
    const std::optional<average::Average> mean = currentMean();
    if (!mean) {
        m_scatter->setFixes({}, {});
        return;
    }
    m_scatter->setFixes(average::localPoints(m_fixes, *mean), *average::spreadOf(m_fixes, *mean));
}

void MeanView::showMenu(QLineEdit *box, const QPoint &at)
{
    QMenu *menu = box->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->setToolTipsVisible(true);
    // The mean is the one the boxes show, whatever was logged since.
    const QString calcFirst = tr("Press Calc Position first.");
    QAction *copy = menu->addAction(tr("Copy p&osition"), this, [this] {
        if (m_shownMean)
            QGuiApplication::clipboard()->setText(average::positionForMaps(*m_shownMean));
    });
    copy->setEnabled(m_shownMean.has_value());
    copy->setToolTip(m_shownMean ? QString() : calcFirst);
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
    QAction *gpx = saveAction(tr("Save &mean as GPX"), QStringLiteral("mean.gpx"), tr("GPX files (*.gpx)"),
                              &MeanView::saveMeanGpx);
    gpx->setEnabled(m_shownMean.has_value());
    gpx->setToolTip(m_shownMean ? QString() : calcFirst);
    menu->addAction(tr("Show &scatter\u2026"), this, &MeanView::showScatter);
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

bool MeanView::saveFixesCsv(const QString &path)
{
    return saveFile(path, average::fixesAsCsv(m_fixes));
}

bool MeanView::saveMeanGpx(const QString &path)
{
    if (!m_shownMean)
        return false;
    return saveFile(
        path, average::meanAsGpx(*m_shownMean, m_shownSpread, QStringLiteral("GPS Quorvel %1").arg(Version)));
}

bool MeanView::saveFile(const QString &path, const QByteArray &content)
{
    // Written beside the old file and renamed over it: a failure leaves the old one whole.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit())
        return true;
    Q_EMIT failed(tr("%1 could not be saved: %2.").arg(path, file.errorString()));
    return false;
}

} // namespace quorvel
