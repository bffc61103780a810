// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pointfiles.h"

#include "average/export.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cmath>
#include <functional>

namespace quorvel::files {

using average::fixedText;
using average::rounded;
using average::spreadDescription;
using average::Zeros;

namespace {

const QString GpxNamespace = QStringLiteral("http://www.topografix.com/GPX/1/1");
const QString KmlNamespace = QStringLiteral("http://www.opengis.net/kml/2.2");

QString utcText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODate); // "2026-03-14T12:00:05Z"
}

QString degreesText(double degrees)
{
    return fixedText(degrees, 8); // about a millimetre
}

// To the millimetre, without trailing zeros: "545.4", "10".
QString metresText(double metres)
{
    return fixedText(metres, 3, u".", Zeros::Trimmed);
}

// `name` with the file's prefix for its namespace, where it has one.
QString tagName(const QString &prefix, const QString &name)
{
    return prefix.isEmpty() ? name : prefix + QLatin1Char(':') + name;
}

// The waypoint's children in the order the GPX 1.1 schema gives them: ele,
// time, magvar, geoidheight, name, cmt, desc, ... `indent` leads each line
// of the waypoint (the writer formats nothing itself when copying a file).
void writeWaypoint(QXmlStreamWriter &xml, const MeanPoint &point, const QString &indent,
                   const QString &prefix)
{
    xml.writeStartElement(tagName(prefix, QStringLiteral("wpt")));
    xml.writeAttribute(QStringLiteral("lat"), degreesText(point.latitude));
    xml.writeAttribute(QStringLiteral("lon"), degreesText(point.longitude));
    const auto child = [&](const QString &name, const QString &text) {
        xml.writeCharacters(indent + QStringLiteral("  "));
        xml.writeTextElement(tagName(prefix, name), text);
    };
    child(QStringLiteral("ele"), metresText(point.elevation));
    if (point.time.isValid())
        child(QStringLiteral("time"), utcText(point.time));
    if (point.geoidSeparation)
        child(QStringLiteral("geoidheight"), metresText(*point.geoidSeparation));
    child(QStringLiteral("name"), point.name);
    child(QStringLiteral("desc"), spreadDescription(point.spread));
    xml.writeCharacters(indent);
    xml.writeEndElement();
}

// KML's altitude is above sea level, like the receiver's; a viewer lays the
// point on its own ground unless told otherwise.
void writePlacemark(QXmlStreamWriter &xml, const MeanPoint &point, const QString &indent,
                    const QString &prefix)
{
    const auto tag = [&prefix](const char *name) { return tagName(prefix, QLatin1String(name)); };
    xml.writeStartElement(tag("Placemark"));
    const QString inner = indent + QStringLiteral("  ");
    xml.writeCharacters(inner);
    xml.writeTextElement(tag("name"), point.name);
    xml.writeCharacters(inner);
    xml.writeTextElement(tag("description"), spreadDescription(point.spread));
    if (point.time.isValid()) {
        xml.writeCharacters(inner);
        xml.writeStartElement(tag("TimeStamp"));
        xml.writeTextElement(tag("when"), utcText(point.time));
        xml.writeEndElement();
    }
    xml.writeCharacters(inner);
    xml.writeStartElement(tag("Point"));
    xml.writeTextElement(tag("coordinates"),
                         degreesText(point.longitude) + QLatin1Char(',') + degreesText(point.latitude)
                             + QLatin1Char(',') + metresText(point.elevation));
    xml.writeEndElement();
    xml.writeCharacters(indent);
    xml.writeEndElement();
}

// Copies an XML file token by token, by the names as written, so that its
// prefixes, comments and text stay as they were; `insert` writes the point
// where it is asked for. The root must be `root` in `ns`.
struct XmlCopy
{
    QXmlStreamReader reader;
    QXmlStreamWriter writer;
    QByteArray out;

    explicit XmlCopy(const QByteArray &in)
        : reader(in)
        , writer(&out)
    {
    }

    void copyToken()
    {
        switch (reader.tokenType()) {
        case QXmlStreamReader::StartDocument:
            writer.writeStartDocument();
            writer.writeCharacters(QStringLiteral("\n"));
            break;
        case QXmlStreamReader::StartElement:
            writer.writeStartElement(reader.qualifiedName().toString());
            for (const QXmlStreamNamespaceDeclaration &declaration : reader.namespaceDeclarations())
                writer.writeAttribute(declaration.prefix().isEmpty()
                                          ? QStringLiteral("xmlns")
                                          : QStringLiteral("xmlns:") + declaration.prefix().toString(),
                                      declaration.namespaceUri().toString());
            for (const QXmlStreamAttribute &attribute : reader.attributes())
                writer.writeAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
            break;
        case QXmlStreamReader::EndElement:
            writer.writeEndElement();
            break;
        case QXmlStreamReader::Characters:
            if (reader.isCDATA())
                writer.writeCDATA(reader.text().toString());
            else
                writer.writeCharacters(reader.text().toString());
            break;
        case QXmlStreamReader::Comment:
            writer.writeComment(reader.text().toString());
            break;
        case QXmlStreamReader::ProcessingInstruction:
            writer.writeProcessingInstruction(reader.processingInstructionTarget().toString(),
                                              reader.processingInstructionData().toString());
            break;
        case QXmlStreamReader::EntityReference:
            writer.writeEntityReference(reader.name().toString());
            break;
        case QXmlStreamReader::EndDocument:
            writer.writeEndDocument();
            break;
        case QXmlStreamReader::DTD:
            writer.writeDTD(reader.text().toString());
            break;
        default:
            break;
        }
    }
};

// What a file of no such kind is called in a refusal.
std::optional<QByteArray> refuse(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

std::optional<QByteArray> xmlWithPointAdded(PointFormat format, const QByteArray &existing,
                                            const MeanPoint &point, QString *error)
{
    const bool gpx = format == PointFormat::Gpx;
    const QString rootName = gpx ? QStringLiteral("gpx") : QStringLiteral("kml");
    const QString ns = gpx ? GpxNamespace : KmlNamespace;
    XmlCopy copy(existing);
    QXmlStreamReader &reader = copy.reader;
    QXmlStreamWriter &writer = copy.writer;
    int depth = 0;
    bool added = false;
    QString prefix; // the root's, which the new elements take
    QString indent = QStringLiteral("\n  ");
    QString pendingSpace; // white space between the root's children, held back
    bool wrapped = false; // a KML file whose one feature is wrapped in a Document with the new one
    int insertDepth = 1; // the depth of the element the point goes in
    bool featureSeen = false; // KML's one feature

    const auto writePoint = [&](const QString &lead) {
        (gpx ? writeWaypoint : writePlacemark)(writer, point, lead, prefix);
        added = true;
    };

    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.hasError())
            break;
        const QXmlStreamReader::TokenType token = reader.tokenType();
        if (token == QXmlStreamReader::StartElement) {
            if (depth == 0) {
                if (reader.name() != rootName || reader.namespaceUri() != ns)
                    return refuse(
                        error,
                        QStringLiteral("its root element is not %1 in the namespace %2").arg(rootName, ns));
                const QString name = reader.qualifiedName().toString();
                prefix = name.contains(QLatin1Char(':')) ? name.section(QLatin1Char(':'), 0, 0) : QString();
            } else if (depth == 1 && !added && !featureSeen) {
                // GPX: waypoints come before routes, tracks and extensions.
                if (gpx
                    && (reader.name() == QLatin1String("rte") || reader.name() == QLatin1String("trk")
                        || reader.name() == QLatin1String("extensions"))) {
                    writer.writeCharacters(indent);
                    writePoint(indent);
                } else if (!gpx && reader.name() != QLatin1String("NetworkLinkControl")) {
                    // KML holds one feature: a Document or Folder takes the
                    // placemark; any other is wrapped with it in a Document.
                    featureSeen = true;
                    if (reader.name() == QLatin1String("Document")
                        || reader.name() == QLatin1String("Folder")) {
                        insertDepth = 2;
                    } else {
                        writer.writeStartElement(tagName(prefix, QStringLiteral("Document")));
                        wrapped = true;
                        insertDepth = 1;
                    }
                }
            }
            if (depth == 1 && !pendingSpace.isEmpty())
                indent = pendingSpace;
            writer.writeCharacters(pendingSpace);
            pendingSpace.clear();
            copy.copyToken();
            ++depth;
            continue;
        }
        if (token == QXmlStreamReader::Characters && reader.isWhitespace() && depth == insertDepth
            && !added) {
            pendingSpace += reader.text();
            continue;
        }
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            if (depth == insertDepth - 1 && !added) {
                const QString lead = insertDepth == 2 ? indent + QStringLiteral("  ") : indent;
                if (wrapped) {
                    writer.writeCharacters(pendingSpace.isEmpty() ? lead : pendingSpace);
                    writePoint(lead);
                    writer.writeEndElement(); // the Document
                    writer.writeCharacters(QStringLiteral("\n"));
                } else if (depth == 0 && !gpx) {
                    // A KML file with no feature: the placemark in a Document.
                    writer.writeCharacters(indent);
                    writer.writeStartElement(tagName(prefix, QStringLiteral("Document")));
                    writer.writeCharacters(indent + QStringLiteral("  "));
                    writePoint(indent + QStringLiteral("  "));
                    writer.writeCharacters(indent);
                    writer.writeEndElement();
                    writer.writeCharacters(QStringLiteral("\n"));
                } else {
                    writer.writeCharacters(lead);
                    writePoint(lead);
                    writer.writeCharacters(pendingSpace.isEmpty() ? QStringLiteral("\n") : pendingSpace);
                }
                pendingSpace.clear();
            }
        }
        writer.writeCharacters(pendingSpace);
        pendingSpace.clear();
        copy.copyToken();
    }
    if (reader.hasError())
        return refuse(error,
                      QStringLiteral("line %1: %2").arg(reader.lineNumber()).arg(reader.errorString()));
    if (!added)
        return refuse(error, QStringLiteral("it holds no %1 element").arg(rootName));
    return copy.out;
}

// The document as text, with its numbers in plain decimal notation as the
// other files have them: QJsonDocument writes 0.00001 as 1e-05.
QByteArray plainJson(const QJsonDocument &document)
{
    const QByteArray json = document.toJson(QJsonDocument::Indented);
    QByteArray out;
    out.reserve(json.size());
    for (qsizetype i = 0; i < json.size();) {
        qsizetype end = i + 1;
        if (json[i] == '"') { // a string, copied as it is
            while (json[end] != '"')
                end += json[end] == '\\' ? 2 : 1;
            ++end;
        } else if (json[i] == '-' || (json[i] >= '0' && json[i] <= '9')) { // a number
            while (end < json.size() && QByteArrayView("+-.0123456789eE").contains(json[end]))
                ++end;
            const QByteArray number = json.sliced(i, end - i);
            if (number.contains('e') || number.contains('E')) {
                out += QByteArray::number(number.toDouble(), 'f', QLocale::FloatingPointShortest);
                i = end;
                continue;
            }
        }
        out += json.sliced(i, end - i);
        i = end;
    }
    return out;
}

QJsonValue metresValue(std::optional<double> metres)
{
    return metres && std::isfinite(*metres) ? QJsonValue(rounded(*metres, 3)) : QJsonValue(QJsonValue::Null);
}

QJsonValue degreesValue(double degrees)
{
    return rounded(degrees, 8);
}

// RFC 7946: longitude first; a third coordinate is the height above the
// WGS 84 ellipsoid. No "crs" member: GeoJSON is WGS 84 by definition.
QJsonObject feature(const MeanPoint &point)
{
    QJsonArray coordinates{degreesValue(point.longitude), degreesValue(point.latitude)};
    if (point.geoidSeparation)
        coordinates.append(metresValue(point.elevation + *point.geoidSeparation));
    const average::Spread &spread = point.spread;
    QJsonObject properties{
        {QStringLiteral("name"), point.name},
        {QStringLiteral("description"), spreadDescription(spread)},
        {QStringLiteral("fixes"), spread.count},
        {QStringLiteral("span_s"), spread.spanSeconds ? QJsonValue(*spread.spanSeconds) : QJsonValue()},
        {QStringLiteral("elevation_msl_m"), metresValue(point.elevation)},
        {QStringLiteral("geoid_separation_m"), metresValue(point.geoidSeparation)},
        {QStringLiteral("sd_north_m"), metresValue(spread.sdNorth)},
        {QStringLiteral("sd_east_m"), metresValue(spread.sdEast)},
        {QStringLiteral("sd_up_m"), metresValue(spread.sdUp)},
        {QStringLiteral("cep50_m"), metresValue(spread.cep50)},
        {QStringLiteral("cep95_m"), metresValue(spread.cep95)},
        {QStringLiteral("mean_horizontal95_m"), metresValue(spread.mean.horizontal95)},
        {QStringLiteral("mean_vertical95_m"), metresValue(spread.mean.vertical95)},
    };
    if (point.time.isValid())
        properties.insert(QStringLiteral("time"), utcText(point.time));
    return {{QStringLiteral("type"), QStringLiteral("Feature")},
            {QStringLiteral("geometry"),
             QJsonObject{{QStringLiteral("type"), QStringLiteral("Point")},
                         {QStringLiteral("coordinates"), coordinates}}},
            {QStringLiteral("properties"), properties}};
}

std::optional<QByteArray> geoJsonWithPointAdded(const QByteArray &existing, const MeanPoint &point,
                                                QString *error)
{
    QJsonParseError parsed;
    const QJsonDocument document = QJsonDocument::fromJson(existing, &parsed);
    if (parsed.error != QJsonParseError::NoError)
        return refuse(error, QStringLiteral("at byte %1: %2").arg(parsed.offset).arg(parsed.errorString()));
    QJsonObject root = document.object();
    const QString type = root.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("Feature")) {
        // One feature becomes a collection of it and the new one.
        root = {{QStringLiteral("type"), QStringLiteral("FeatureCollection")},
                {QStringLiteral("features"), QJsonArray{root}}};
    } else if (type != QLatin1String("FeatureCollection")
               || !root.value(QStringLiteral("features")).isArray()) {
        return refuse(error, QStringLiteral("it is no GeoJSON feature collection"));
    }
    QJsonArray features = root.value(QStringLiteral("features")).toArray();
    features.append(feature(point));
    root.insert(QStringLiteral("features"), features);
    return plainJson(QJsonDocument(root));
}

} // namespace

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
        QJsonArray features;
        for (const MeanPoint &point : points)
            features.append(feature(point));
        const QJsonObject root{{QStringLiteral("type"), QStringLiteral("FeatureCollection")},
                               {QStringLiteral("features"), features}};
        return plainJson(QJsonDocument(root));
    }
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument();
    xml.writeCharacters(QStringLiteral("\n"));
    if (format == PointFormat::Gpx) {
        xml.writeStartElement(QStringLiteral("gpx"));
        xml.writeDefaultNamespace(GpxNamespace);
        xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
        xml.writeAttribute(QStringLiteral("creator"), creator);
        for (const MeanPoint &point : points) {
            xml.writeCharacters(QStringLiteral("\n  "));
            writeWaypoint(xml, point, QStringLiteral("\n  "), {});
        }
    } else {
        xml.writeStartElement(QStringLiteral("kml"));
        xml.writeDefaultNamespace(KmlNamespace);
        xml.writeCharacters(QStringLiteral("\n  "));
        xml.writeStartElement(QStringLiteral("Document"));
        for (const MeanPoint &point : points) {
            xml.writeCharacters(QStringLiteral("\n    "));
            writePlacemark(xml, point, QStringLiteral("\n    "), {});
        }
        xml.writeCharacters(QStringLiteral("\n  "));
        xml.writeEndElement();
    }
    xml.writeCharacters(QStringLiteral("\n"));
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
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
