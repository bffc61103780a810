// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The text of one point in each format, laid out as the file it goes into
// is, and the adding of it to a file of the user's; for pointfiles.cpp.

#include "pointfiles.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace quorvel::files {

// "2026-03-14T12:00:05Z"
QString utcText(const QDateTime &time);
// Decimal degrees to about a millimetre: "48.11730000".
QString degreesText(double degrees);
// Metres to the millimetre, without trailing zeros: "545.4", "10".
QString metresText(double metres);

// How an element is written: its children each on a line of their own,
// `lineEnd` and `indent` plus `unit` before each, or all on one line where
// `lineEnd` is empty. `prefix` names the format's namespace ("g:" or
// nothing).
struct XmlLayout
{
    QString lineEnd = QStringLiteral("\n");
    QString indent; // of the element's own line
    QString unit = QStringLiteral("  ");
    QString prefix;
};

// The versions of the formats, by their namespaces.
enum class GpxVersion { V1_0, V1_1 };
enum class KmlVersion { V2_0, V2_1, V2_2, V2_3 };
QString gpxNamespace(GpxVersion version);

// A GPX waypoint, its children in the order both GPX 1.0 and 1.1 give
// them: ele, time, geoidheight, name, desc.
QString gpxWaypoint(const MeanPoint &point, const XmlLayout &layout);
// A KML placemark: name, description, the time (from KML 2.1 on: 2.0 has
// no TimeStamp) and the point.
QString kmlPlacemark(const MeanPoint &point, const XmlLayout &layout, KmlVersion version);

// How a JSON object is written: members on lines of their own, as
// `lineEnd`, `indent` and `unit` say, or on one line where `lineEnd` is
// empty; `colon` and `comma` between, `{ ` and ` }` where `padBraces`;
// arrays on one line unless `arraysOnLines`.
struct JsonLayout
{
    QByteArray lineEnd = "\n";
    QByteArray indent;
    QByteArray unit = "  ";
    QByteArray colon = ": ";
    QByteArray comma = ", ";
    bool padBraces = false;
    bool arraysOnLines = false;
};

// A GeoJSON feature (RFC 7946): longitude first; a third coordinate is the
// height above the WGS 84 ellipsoid, where the geoid separation is known.
QByteArray geoJsonFeature(const MeanPoint &point, const JsonLayout &layout);

// The user's file with the point's text inserted into its own bytes; all
// else in it is kept byte for byte. Nothing, with the reason, for a file
// that is not of the format or cannot take the point so.
std::optional<QByteArray> xmlWithPointAdded(PointFormat format, const QByteArray &existing,
                                            const MeanPoint &point, QString *error);
std::optional<QByteArray> geoJsonWithPointAdded(const QByteArray &existing, const MeanPoint &point,
                                                QString *error);

} // namespace quorvel::files
