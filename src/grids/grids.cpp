// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "grids.h"

#include "average/export.h"

#include <GeographicLib/GeoCoords.hpp>
#include <GeographicLib/Geodesic.hpp>

#include <QStringList>

#include <cmath>

namespace quorvel::grids {

using average::fixedText;

namespace {

// The point in GeographicLib's terms, with the standard UTM/UPS zone
// (Norway's and Svalbard's exceptions included); nothing for a point that is none.
std::optional<GeographicLib::GeoCoords> coordsOf(const GeoPoint &point)
{
    if (!std::isfinite(point.latitude) || !std::isfinite(point.longitude) || std::fabs(point.latitude) > 90)
        return std::nullopt;
    try {
        return GeographicLib::GeoCoords(point.latitude, point.longitude);
    } catch (const GeographicLib::GeographicErr &) {
        return std::nullopt;
    }
}

} // namespace

QString utmText(const GeoPoint &point)
{
    const std::optional<GeographicLib::GeoCoords> coords = coordsOf(point);
    if (!coords)
        return {};
    // "32n 687302 5332401", or "n 2000000 2000000" on the polar grid, as
    // GeographicLib writes it, rounded to the metre; the band letter from
    // the MGRS grid zone ("32U").
    const QStringList parts
        = QString::fromStdString(coords->UTMUPSRepresentation(0)).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 3)
        return {};
    if (coords->Zone() == 0)
        return QStringLiteral("UPS %1 %2 %3").arg(parts[0].toUpper(), parts[1], parts[2]);
    const QString gridZone = QString::fromStdString(coords->MGRSRepresentation(-6));
    return QStringLiteral("UTM %1%2 %3 %4").arg(coords->Zone()).arg(gridZone.back(), parts[1], parts[2]);
}

QString mgrsText(const GeoPoint &point)
{
    const std::optional<GeographicLib::GeoCoords> coords = coordsOf(point);
    if (!coords)
        return {};
    // "32UPU8730232401" or "ZAH0000000000": grid zone, square, easting and
    // northing of five digits each.
    const QString mgrs = QString::fromStdString(coords->MGRSRepresentation(0));
    const qsizetype square = mgrs.size() - 12;
    if (square < 1)
        return {};
    return QStringLiteral("%1 %2 %3 %4")
        .arg(mgrs.left(square), mgrs.mid(square, 2), mgrs.mid(square + 2, 5), mgrs.mid(square + 7, 5));
}

Comparison compareWith(const GeoPoint &mean, const GeoPoint &known, std::optional<double> radius95)
{
    Comparison comparison;
    double backAzimuth = 0;
    GeographicLib::Geodesic::WGS84().Inverse(mean.latitude, mean.longitude, known.latitude, known.longitude,
                                             comparison.distance, comparison.bearing, backAzimuth);
    if (comparison.bearing < 0)
        comparison.bearing += 360;
    if (radius95)
        comparison.withinRadius = comparison.distance <= *radius95;
    return comparison;
}

QString distanceText(double metres, QStringView separator)
{
    return metres < 1000 ? QStringLiteral("%1 m").arg(fixedText(metres, 2, separator))
                         : QStringLiteral("%1 km").arg(fixedText(metres / 1000, 3, separator));
}

QString legText(const Comparison &comparison, QStringView separator)
{
    if (comparison.distance < 0.005)
        return distanceText(0, separator);
    return QStringLiteral("%1 at %2\u00b0")
        .arg(distanceText(comparison.distance, separator))
        .arg(int(std::lround(comparison.bearing)) % 360);
}

QString comparisonText(const Comparison &comparison, QStringView separator, Wording wording)
{
    const QString distance = legText(comparison, separator);
    if (wording == Wording::Brief) {
        const QString where = !comparison.withinRadius ? QStringLiteral("Too short to tell if within 95 %.")
            : *comparison.withinRadius                 ? QStringLiteral("Within the 95 % radius.")
                                                       : QStringLiteral("Outside the 95 % radius.");
        return QStringLiteral("Known point: %1.\n%2").arg(distance, where);
    }
    const QString where = !comparison.withinRadius
        ? QStringLiteral("too short to tell whether it lies within the 95 % radius")
        : *comparison.withinRadius ? QStringLiteral("within the 95 % radius")
                                   : QStringLiteral("outside the 95 % radius");
    return QStringLiteral("Known point: %1 from the mean; %2").arg(distance, where);
}

} // namespace quorvel::grids
