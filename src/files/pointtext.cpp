// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pointtext.h"

#include "average/export.h"

#include <cmath>

namespace quorvel::files {

using average::fixedText;
using average::spreadDescription;
using average::Zeros;

QString utcText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODate);
}

QString degreesText(double degrees)
{
    return fixedText(degrees, 8);
}

QString metresText(double metres)
{
    return fixedText(metres, 3, u".", Zeros::Trimmed);
}

QString gpxNamespace(GpxVersion version)
{
    return version == GpxVersion::V1_0 ? QStringLiteral("http://www.topografix.com/GPX/1/0")
                                       : QStringLiteral("http://www.topografix.com/GPX/1/1");
}

namespace {

// Text as XML character data. A CR is written as a reference, which a
// parser keeps (a bare CR is read as a line feed); characters that XML 1.0
// does not allow are left out.
QString xmlEscaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char32_t code = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()
            ? QChar::surrogateToUcs4(c, text[++i])
            : c.unicode();
        if (code == '&')
            out += QStringLiteral("&amp;");
        else if (code == '<')
            out += QStringLiteral("&lt;");
        else if (code == '>')
            out += QStringLiteral("&gt;");
        else if (code == '"')
            out += QStringLiteral("&quot;");
        else if (code == '\r')
            out += QStringLiteral("&#13;");
        else if ((code < 0x20 && code != '\t' && code != '\n') || (code >= 0xD800 && code < 0xE000)
                 || code == 0xFFFE || code == 0xFFFF)
            continue;
        else
            out += QString::fromUcs4(&code, 1);
    }
    return out;
}

// `<name>text</name>` with the prefix.
QString element(const XmlLayout &layout, const QString &name, const QString &content)
{
    return QStringLiteral("<%1%2>%3</%1%2>").arg(layout.prefix, name, content);
}

// The element `name` (with attributes) holding `children`, each on a line
// of its own.
QString withChildren(const XmlLayout &layout, const QString &name, const QString &attributes,
                     const QStringList &children)
{
    const QString lead = layout.lineEnd.isEmpty() ? QString() : layout.lineEnd + layout.indent + layout.unit;
    QString out = QStringLiteral("<%1%2%3>").arg(layout.prefix, name, attributes);
    for (const QString &child : children)
        out += lead + child;
    if (!layout.lineEnd.isEmpty())
        out += layout.lineEnd + layout.indent;
    return out + QStringLiteral("</%1%2>").arg(layout.prefix, name);
}

} // namespace

QString gpxWaypoint(const MeanPoint &point, const XmlLayout &layout)
{
    const auto text = xmlEscaped;
    QStringList children{element(layout, QStringLiteral("ele"), metresText(point.elevation))};
    if (point.time.isValid())
        children << element(layout, QStringLiteral("time"), utcText(point.time));
    if (point.geoidSeparation)
        children << element(layout, QStringLiteral("geoidheight"), metresText(*point.geoidSeparation));
    children << element(layout, QStringLiteral("name"), text(point.name))
             << element(layout, QStringLiteral("desc"), text(spreadDescription(point.spread)));
    return withChildren(layout, QStringLiteral("wpt"),
                        QStringLiteral(" lat=\"%1\" lon=\"%2\"")
                            .arg(degreesText(point.latitude), degreesText(point.longitude)),
                        children);
}

// KML's altitude is above sea level, like the receiver's; a viewer lays the
// point on its own ground unless told otherwise.
QString kmlPlacemark(const MeanPoint &point, const XmlLayout &layout, KmlVersion version)
{
    const auto text = xmlEscaped;
    QStringList children{
        element(layout, QStringLiteral("name"), text(point.name)),
        element(layout, QStringLiteral("description"), text(spreadDescription(point.spread)))};
    if (point.time.isValid() && version != KmlVersion::V2_0)
        children << element(layout, QStringLiteral("TimeStamp"),
                            element(layout, QStringLiteral("when"), utcText(point.time)));
    children << element(layout, QStringLiteral("Point"),
                        element(layout, QStringLiteral("coordinates"),
                                degreesText(point.longitude) + QLatin1Char(',') + degreesText(point.latitude)
                                    + QLatin1Char(',') + metresText(point.elevation)));
    return withChildren(layout, QStringLiteral("Placemark"), {}, children);
}

namespace {

// A JSON value as written: a number or string already in JSON, or an
// object or array of such.
struct Json
{
    enum Kind { Scalar, Object, Array } kind = Scalar;
    QByteArray text; // a scalar's
    QList<std::pair<QByteArray, Json>> members; // an object's, or an array's elements without keys
};

Json scalar(const QByteArray &text)
{
    return {Json::Scalar, text, {}};
}

Json string(const QString &text)
{
    QByteArray out = "\"";
    for (const char32_t code : text.toUcs4()) {
        if (code == '"' || code == '\\')
            out += QByteArray("\\") + char(code);
        else if (code == '\n')
            out += "\\n";
        else if (code == '\r')
            out += "\\r";
        else if (code == '\t')
            out += "\\t";
        else if (code < 0x20)
            out += "\\u" + QByteArray::number(uint(code), 16).rightJustified(4, '0');
        else
            out += QString::fromUcs4(&code, 1).toUtf8();
    }
    return scalar(out + '"');
}

Json metres(std::optional<double> value)
{
    return scalar(value && std::isfinite(*value) ? metresText(*value).toLatin1() : QByteArray("null"));
}

void write(QByteArray &out, const Json &value, const JsonLayout &layout, const QByteArray &indent)
{
    if (value.kind == Json::Scalar) {
        out += value.text;
        return;
    }
    const bool object = value.kind == Json::Object;
    const bool lines = !layout.lineEnd.isEmpty() && (object || layout.arraysOnLines);
    const QByteArray inner = indent + layout.unit;
    out += object ? '{' : '[';
    if (!lines && layout.padBraces)
        out += ' ';
    for (qsizetype i = 0; i < value.members.size(); ++i) {
        if (i > 0)
            out += lines ? QByteArray(",") : layout.comma;
        if (lines)
            out += layout.lineEnd + inner;
        if (object)
            out += string(QString::fromUtf8(value.members[i].first)).text + layout.colon;
        write(out, value.members[i].second, layout, inner);
    }
    if (lines)
        out += layout.lineEnd + indent;
    else if (layout.padBraces)
        out += ' ';
    out += object ? '}' : ']';
}

} // namespace

QByteArray geoJsonFeature(const MeanPoint &point, const JsonLayout &layout)
{
    const auto degrees
        = [](double value) { return scalar(fixedText(value, 8, u".", Zeros::Trimmed).toLatin1()); };
    Json coordinates{Json::Array, {}, {{{}, degrees(point.longitude)}, {{}, degrees(point.latitude)}}};
    if (point.geoidSeparation)
        coordinates.members.append({{}, metres(point.elevation + *point.geoidSeparation)});
    const average::Spread &spread = point.spread;
    Json properties{Json::Object, {}, {{"name", string(point.name)}}};
    if (point.time.isValid())
        properties.members.append({"time", string(utcText(point.time))});
    properties.members += QList<std::pair<QByteArray, Json>>{
        {"description", string(spreadDescription(spread))},
        {"fixes", scalar(QByteArray::number(spread.count))},
        {"span_s", spread.spanSeconds ? scalar(QByteArray::number(*spread.spanSeconds)) : scalar("null")},
        {"elevation_msl_m", metres(point.elevation)},
        {"geoid_separation_m", metres(point.geoidSeparation)},
        {"sd_north_m", metres(spread.sdNorth)},
        {"sd_east_m", metres(spread.sdEast)},
        {"sd_up_m", metres(spread.sdUp)},
        {"cep50_m", metres(spread.cep50)},
        {"cep95_m", metres(spread.cep95)},
        {"mean_horizontal95_m", metres(spread.mean.horizontal95)},
        {"mean_vertical95_m", metres(spread.mean.vertical95)},
    };
    const Json feature{
        Json::Object,
        {},
        {{"type", string(QStringLiteral("Feature"))},
         {"geometry",
          Json{Json::Object, {}, {{"type", string(QStringLiteral("Point"))}, {"coordinates", coordinates}}}},
         {"properties", properties}}};
    QByteArray out;
    write(out, feature, layout, layout.indent);
    return out;
}

} // namespace quorvel::files
