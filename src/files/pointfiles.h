// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "average/average.h"
#include "average/statistics.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace quorvel::files {

// The files a mean is saved in as a named point, which maps, GIS and
// receivers open: GPX 1.1 (a waypoint), KML 2.2 (a placemark) and GeoJSON
// (RFC 7946: a feature of a feature collection).
enum class PointFormat { Gpx, Kml, GeoJson };

// The format a file's name says: .gpx, .kml, .geojson or .json, in any case.
std::optional<PointFormat> pointFormatOf(const QString &fileName);
// "GPX", "KML", "GeoJSON"
QString pointFormatName(PointFormat format);

// A mean as one named point.
struct MeanPoint
{
    QString name;
    QDateTime time; // when the mean was taken; written in UTC
    double latitude = 0; // decimal degrees, north and east positive
    double longitude = 0; // -180 up to, not including, 180
    double elevation = 0; // above mean sea level, as the receiver reports it
    std::optional<double> geoidSeparation; // the geoid above the WGS 84 ellipsoid
    average::Spread spread;
};

MeanPoint meanPoint(const average::Average &average, const average::Spread &spread, const QString &name,
                    const QDateTime &time);

// A new file holding the points in their order, each described by
// spreadDescription(): GPX waypoints, KML placemarks in a document, a
// GeoJSON feature collection. The elevation is above mean sea level in GPX
// (with the geoid's height, where known) and KML; GeoJSON takes the height
// above the WGS 84 ellipsoid, so its point has a third coordinate only where
// the geoid separation is known, and the properties give both.
QByteArray pointsFile(PointFormat format, const QList<MeanPoint> &points, const QString &creator);
// The same with the one point.
QByteArray pointFile(PointFormat format, const MeanPoint &point, const QString &creator);

// The points as CSV (RFC 4180, UTF-8, CR LF), one row per point after a
// header row: name, UTC time, latitude and longitude in decimal degrees,
// elevation above mean sea level, geoid separation, count of fixes, CEP50,
// CEP95 and the uncertainty of the mean (95 %) horizontally and vertically;
// a field is empty where it is not known or the session was too short to
// tell.
QByteArray pointsCsv(const QList<MeanPoint> &points);

// `existing`, a file of that format, with the point added after its own
// points; everything else in it is kept. Nothing when `existing` is not
// such a file or cannot be read; `error` then says why.
std::optional<QByteArray> withPointAdded(PointFormat format, const QByteArray &existing,
                                         const MeanPoint &point, QString *error = nullptr);

} // namespace quorvel::files
