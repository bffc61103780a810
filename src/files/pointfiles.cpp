// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pointfiles.h"

#include "pointtext.h"

#include "average/export.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace quorvel::files {

std::optional<PointFormat> pointFormatOf(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("gpx"))
        return PointFormat::Gpx;
    if (suffix == QLatin1String("kml"))
        return PointFormat::Kml;
    if (suffix == QLatin1String("geojson") || suffix == QLatin1String("json"))
        return PointFormat::GeoJson;
    return std::nullopt;
}

QString pointFormatName(PointFormat format)
{
    switch (format) {
    case PointFormat::Gpx:
        return QStringLiteral("GPX");
    case PointFormat::Kml:
        return QStringLiteral("KML");
    case PointFormat::GeoJson:
        break;
    }
    return QStringLiteral("GeoJSON");
}

MeanPoint meanPoint(const average::Average &mean, const average::Spread &spread, const QString &name,
                    const QDateTime &time)
{
    MeanPoint point;
    point.name = name;
    point.time = time;
    point.latitude = average::latitudeDegrees(mean);
    point.longitude = average::longitudeDegrees(mean);
    point.elevation = mean.mean.elevation;
    point.geoidSeparation = mean.geoidSeparation;
    point.spread = spread;
    return point;
}

QByteArray pointsFile(PointFormat format, const QList<MeanPoint> &points, const QString &creator)
{
    if (format == PointFormat::GeoJson) {
        JsonLayout layout;
        layout.indent = "    ";
        QByteArray out = "{\n  \"type\": \"FeatureCollection\",\n  \"features\": [";
        for (qsizetype i = 0; i < points.size(); ++i)
            out += (i ? ",\n" : "\n") + layout.indent + geoJsonFeature(points[i], layout);
        return out + (points.isEmpty() ? "]\n}\n" : "\n  ]\n}\n");
    }
    XmlLayout layout;
    QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    if (format == PointFormat::Gpx) {
        // The creator as an attribute's value: the quote and the line ends escaped.
        QString by = creator.toHtmlEscaped();
        by.replace(QLatin1Char('\n'), QStringLiteral("&#10;"))
            .replace(QLatin1Char('\r'), QStringLiteral("&#13;"));
        out += QStringLiteral("<gpx xmlns=\"%1\" version=\"1.1\" creator=\"%2\">")
                   .arg(gpxNamespace(GpxVersion::V1_1), by);
        layout.indent = QStringLiteral("  ");
        for (const MeanPoint &point : points)
            out += QStringLiteral("\n  ") + gpxWaypoint(point, layout);
        out += QStringLiteral("\n</gpx>\n");
    } else {
        out += QStringLiteral("<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n  <Document>");
        layout.indent = QStringLiteral("    ");
        for (const MeanPoint &point : points)
            out += QStringLiteral("\n    ") + kmlPlacemark(point, layout, KmlVersion::V2_2);
        out += QStringLiteral("\n  </Document>\n</kml>\n");
    }
    return out.toUtf8();
}

QByteArray pointFile(PointFormat format, const MeanPoint &point, const QString &creator)
{
    return pointsFile(format, {point}, creator);
}

QByteArray pointsCsv(const QList<MeanPoint> &points)
{
    // RFC 4180: a field with a comma, a quote or a line end is quoted, its
    // quotes doubled.
    const auto field = [](const QString &text) {
        static const QRegularExpression special(QStringLiteral("[,\"\r\n]"));
        if (!text.contains(special))
            return text;
        return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\""))
            + QLatin1Char('"');
    };
    const auto metres = [](std::optional<double> value) {
        return value && std::isfinite(*value) ? metresText(*value) : QString();
    };
    QByteArray csv
        = "name,time_utc,latitude,longitude,elevation_msl_m,geoid_separation_m,fixes,cep50_m,cep95_m,"
          "mean_horizontal95_m,mean_vertical95_m\r\n";
    for (const MeanPoint &point : points) {
        const average::Spread &spread = point.spread;
        const QStringList row{field(point.name),
                              point.time.isValid() ? utcText(point.time) : QString(),
                              degreesText(point.latitude),
                              degreesText(point.longitude),
                              metresText(point.elevation),
                              metres(point.geoidSeparation),
                              QString::number(spread.count),
                              metres(spread.cep50),
                              metres(spread.cep95),
                              metres(spread.mean.horizontal95),
                              metres(spread.mean.vertical95)};
        csv += row.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    return csv;
}

std::optional<QByteArray> withPointAdded(PointFormat format, const QByteArray &existing,
                                         const MeanPoint &point, QString *error)
{
    if (format == PointFormat::GeoJson)
        return geoJsonWithPointAdded(existing, point, error);
    return xmlWithPointAdded(format, existing, point, error);
}

} // namespace quorvel::files
