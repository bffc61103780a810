// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A point added to a GeoJSON file of the user's: a small scanner finds the
// places in the file's bytes (the features array, its last feature, the
// bbox, the crs), and the feature's text is inserted there, laid out as its
// neighbour is. Keys, numbers, white space and all else stay as they are;
// only a bbox's figures that the new point moves are rewritten.

#include "average/export.h"
#include "pointtext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace quorvel::files {

namespace {

std::optional<QByteArray> refuse(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

// A value's bytes: from its first to after its last.
struct Value
{
    qsizetype start = -1;
    qsizetype end = -1;
    bool found() const { return start >= 0; }
};

struct Member
{
    QString key;
    Value value;
};

// Walks JSON that QJsonDocument has already found well-formed.
class Scanner
{
public:
    explicit Scanner(const QByteArray &bytes)
        : m_bytes(bytes)
    {
    }

    char at(qsizetype i) const { return i < m_bytes.size() ? m_bytes[i] : '\0'; }
    qsizetype skipSpace(qsizetype i) const
    {
        while (i < m_bytes.size() && QByteArrayView(" \t\r\n").contains(m_bytes[i]))
            ++i;
        return i;
    }
    Value value(qsizetype i) const
    {
        i = skipSpace(i);
        qsizetype end = i;
        if (at(i) == '"') {
            end = stringEnd(i);
        } else if (at(i) == '{' || at(i) == '[') {
            int depth = 0;
            do {
                if (at(end) == '"') {
                    end = stringEnd(end);
                    continue;
                }
                if (at(end) == '{' || at(end) == '[')
                    ++depth;
                else if (at(end) == '}' || at(end) == ']')
                    --depth;
                ++end;
            } while (depth > 0);
        } else {
            while (end < m_bytes.size() && !QByteArrayView(" \t\r\n,]}").contains(m_bytes[end]))
                ++end;
        }
        return {i, end};
    }
    QList<Member> members(const Value &object) const
    {
        QList<Member> out;
        qsizetype i = skipSpace(object.start + 1);
        while (at(i) == '"') {
            const Value key = value(i);
            const Value member = value(skipSpace(key.end) + 1); // past the colon
            out.append({stringOf(key), member});
            i = skipSpace(member.end);
            if (at(i) == ',')
                i = skipSpace(i + 1);
        }
        return out;
    }
    QList<Value> elements(const Value &array) const
    {
        QList<Value> out;
        qsizetype i = skipSpace(array.start + 1);
        while (at(i) != ']') {
            out.append(value(i));
            i = skipSpace(out.last().end);
            if (at(i) == ',')
                i = skipSpace(i + 1);
        }
        return out;
    }
    QByteArray bytes(const Value &v) const { return m_bytes.sliced(v.start, v.end - v.start); }
    QString stringOf(const Value &v) const
    {
        return QJsonDocument::fromJson("[" + bytes(v) + "]").array().at(0).toString();
    }
    // The last member named `key` (as a JSON reader takes it).
    static Value member(const QList<Member> &members, QStringView key)
    {
        for (auto it = members.rbegin(); it != members.rend(); ++it)
            if (it->key == key)
                return it->value;
        return {};
    }

private:
    qsizetype stringEnd(qsizetype i) const
    {
        for (++i; at(i) != '"'; ++i)
            if (at(i) == '\\')
                ++i;
        return i + 1;
    }

    const QByteArray &m_bytes;
};

struct Edit
{
    qsizetype from;
    qsizetype to;
    QByteArray text;
};

// The white space before `offset`, and the part of it after its last line end.
QByteArray spaceBefore(const QByteArray &bytes, qsizetype offset)
{
    qsizetype from = offset;
    while (from > 0 && QByteArrayView(" \t\r\n").contains(bytes[from - 1]))
        --from;
    return bytes.sliced(from, offset - from);
}

QByteArray indentOf(const QByteArray &space)
{
    const qsizetype lineEnd = std::max(space.lastIndexOf('\n'), space.lastIndexOf('\r'));
    return lineEnd < 0 ? QByteArray() : space.mid(lineEnd + 1);
}

QByteArray lineEndOf(const QByteArray &bytes)
{
    const qsizetype lf = bytes.indexOf('\n'), cr = bytes.indexOf('\r');
    if (cr >= 0 && (lf < 0 || cr < lf))
        return lf == cr + 1 ? "\r\n" : "\r";
    return "\n";
}

// The first byte of `text` outside strings that is `wanted`, or -1.
qsizetype firstOutsideStrings(const QByteArray &text, char wanted)
{
    bool inString = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (inString) {
            if (text[i] == '\\')
                ++i;
            else if (text[i] == '"')
                inString = false;
        } else if (text[i] == wanted) {
            return i;
        } else if (text[i] == '"') {
            inString = true;
        }
    }
    return -1;
}

// The new feature laid out as `sample`, a feature of the file, is; `indent`
// leads its line.
JsonLayout layoutLike(const QByteArray &sample, const QByteArray &indent, const QByteArray &fileLineEnd,
                      bool lines)
{
    JsonLayout layout;
    layout.indent = indent;
    const qsizetype colon = firstOutsideStrings(sample, ':');
    layout.colon = colon >= 0 && sample.mid(colon + 1, 1) == " " ? ": " : ":";
    if (!sample.contains('\n') && !sample.contains('\r')) {
        // On one line, as GDAL and many others write each feature.
        layout.lineEnd.clear();
        const qsizetype comma = firstOutsideStrings(sample, ',');
        layout.comma = comma >= 0 && sample.mid(comma + 1, 1) == " " ? ", " : ",";
        layout.padBraces = sample.startsWith("{ ");
        return layout;
    }
    if (!lines) {
        layout.lineEnd.clear();
        return layout;
    }
    layout.lineEnd = fileLineEnd;
    const QByteArray firstIndent = indentOf(spaceBefore(sample, firstOutsideStrings(sample, '"')));
    if (firstIndent.startsWith(indent) && firstIndent.size() > indent.size())
        layout.unit = firstIndent.mid(indent.size());
    const qsizetype bracket = firstOutsideStrings(sample, '[');
    layout.arraysOnLines = bracket >= 0
        && QRegularExpression(QStringLiteral("^\\[[ \\t]*[\\r\\n]"))
               .match(QString::fromUtf8(sample.mid(bracket, 8)))
               .hasMatch();
    return layout;
}

// Whether a GeoJSON 2008 "crs" names WGS 84 in longitude and latitude:
// OGC's CRS84 or EPSG:4326 (whose axes such files give in the same order).
bool isWgs84(const QString &name)
{
    static const QRegularExpression wgs84(
        QStringLiteral("^(?:urn:ogc:def:crs:OGC:[0-9.]*:CRS84h?|https?://www\\.opengis\\.net/def/crs/OGC/"
                       "[0-9.]+/CRS84h?|EPSG:(?:4326|4979)|urn:ogc:def:crs:EPSG:[0-9.]*:(?:4326|4979)|"
                       "https?://www\\.opengis\\.net/def/crs/EPSG/[0-9.]+/(?:4326|4979))$"),
        QRegularExpression::CaseInsensitiveOption);
    return wgs84.match(name.trimmed()).hasMatch();
}

// Why the file's coordinates are not WGS 84 longitude and latitude, by its
// "crs" member; nothing where they are.
std::optional<QString> crsRefusal(const Scanner &scan, const Value &crs)
{
    if (!crs.found())
        return std::nullopt;
    const QByteArray text = scan.bytes(crs);
    if (text == "null")
        return QStringLiteral("its \u201ccrs\u201d is null: its coordinates are in no known system");
    if (!text.startsWith('{'))
        return QStringLiteral("its \u201ccrs\u201d is not a coordinate system this program knows");
    const QList<Member> members = scan.members(crs);
    const Value type = Scanner::member(members, u"type"),
                properties = Scanner::member(members, u"properties");
    if (type.found() && scan.stringOf(type) == QLatin1String("name") && properties.found()
        && scan.bytes(properties).startsWith('{')) {
        const Value name = Scanner::member(scan.members(properties), u"name");
        const QString named = name.found() ? scan.stringOf(name) : QString();
        if (isWgs84(named))
            return std::nullopt;
        return QStringLiteral(
                   "its coordinates are in %1 (its \u201ccrs\u201d), not in WGS 84 longitude and latitude")
            .arg(named.isEmpty() ? QStringLiteral("a system it does not name") : named);
    }
    return QStringLiteral("its \u201ccrs\u201d is not a coordinate system this program knows");
}

QByteArray numberText(double value, int decimals)
{
    return average::fixedText(value, decimals, u".", average::Zeros::Trimmed).toLatin1();
}

// The "bbox" widened to take the point: [west, south, east, north] or, in
// 3D, [west, south, low, east, north, high]. Only the figures that change are
// rewritten. A box whose west is east of its east crosses 180°.
QList<Edit> bboxWidened(const Scanner &scan, const Value &bbox, const MeanPoint &point)
{
    if (!bbox.found() || !scan.bytes(bbox).startsWith('['))
        return {};
    const QList<Value> figures = scan.elements(bbox);
    if (figures.size() != 4 && figures.size() != 6)
        return {};
    QList<double> values;
    for (const Value &figure : figures) {
        bool ok = false;
        values.append(scan.bytes(figure).toDouble(&ok));
        if (!ok)
            return {};
    }
    const int dimensions = int(figures.size() / 2);
    const QList<double> before = values;
    double &west = values[0], &south = values[1], &east = values[dimensions], &north = values[dimensions + 1];
    const double lon = point.longitude, lat = point.latitude;
    south = std::min(south, lat);
    north = std::max(north, lat);
    if (west <= east) {
        west = std::min(west, lon);
        east = std::max(east, lon);
    } else if (lon < west && lon > east) { // across 180°: widen the nearer side
        if (west - lon < lon - east)
            west = lon;
        else
            east = lon;
    }
    if (dimensions == 3 && point.geoidSeparation) {
        const double height = point.elevation + *point.geoidSeparation;
        values[2] = std::min(values[2], height);
        values[5] = std::max(values[5], height);
    }
    QList<Edit> edits;
    for (qsizetype i = 0; i < values.size(); ++i)
        if (values[i] != before[i]) {
            const bool metres = dimensions == 3 && (i == 2 || i == 5);
            edits.append({figures[i].start, figures[i].end, numberText(values[i], metres ? 3 : 8)});
        }
    return edits;
}

} // namespace

std::optional<QByteArray> geoJsonWithPointAdded(const QByteArray &existing, const MeanPoint &point,
                                                QString *error)
{
    // RFC 8259: UTF-8; a byte order mark may be there, and is kept.
    const qsizetype bom = existing.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    QJsonParseError parsed;
    const QJsonDocument document = QJsonDocument::fromJson(existing.sliced(bom), &parsed);
    if (parsed.error != QJsonParseError::NoError) {
        const QByteArray body = existing.sliced(bom).trimmed();
        if (body.isEmpty() || !QByteArrayView("{[").contains(body.front()))
            return refuse(error, QStringLiteral("it is not a JSON file"));
        const qsizetype line = existing.left(bom + parsed.offset).count('\n') + 1;
        return refuse(error, QStringLiteral("its JSON is broken at line %1").arg(line));
    }
    if (!document.isObject())
        return refuse(error, QStringLiteral("it is JSON, but not GeoJSON"));
    const Scanner scan(existing);
    const Value root = scan.value(bom);
    const QList<Member> members = scan.members(root);
    const Value type = Scanner::member(members, u"type");
    const QString typeName = type.found() ? scan.stringOf(type) : QString();
    if (const std::optional<QString> why = crsRefusal(scan, Scanner::member(members, u"crs")))
        return refuse(error, *why);
    const QByteArray lineEnd = lineEndOf(existing);
    const bool lines = existing.contains('\n') || existing.contains('\r');

    QList<Edit> edits;
    if (typeName == QLatin1String("Feature")) {
        // One feature becomes a collection of it and the new one: opened
        // before it, closed after them; the feature itself stays as it is.
        const QByteArray sample = scan.bytes(root);
        JsonLayout layout = layoutLike(sample, {}, lineEnd, lines);
        const QByteArray end = lines ? lineEnd : QByteArray();
        const QByteArray comma = lines ? "," + end : layout.comma;
        const QByteArray open = "{" + end + "\"type\"" + layout.colon + "\"FeatureCollection\"" + comma
            + "\"features\"" + layout.colon + "[" + end;
        edits = {{root.start, root.start, open},
                 {root.end, root.end, comma + geoJsonFeature(point, layout) + end + "]" + end + "}"}};
    } else if (typeName == QLatin1String("FeatureCollection")) {
        const Value features = Scanner::member(members, u"features");
        if (!features.found() || !scan.bytes(features).startsWith('['))
            return refuse(error, QStringLiteral("its feature collection has no list of features"));
        const QList<Value> list = scan.elements(features);
        if (!list.isEmpty()) {
            // After the last feature, laid out as it is.
            const Value &last = list.last();
            const QByteArray space = spaceBefore(existing, last.start);
            const JsonLayout layout
                = layoutLike(scan.bytes(last), indentOf(space), lineEndOf(space + lineEnd), lines);
            edits = {{last.end, last.end, "," + space + geoJsonFeature(point, layout)}};
        } else {
            // The first: a level in from the line that holds the array.
            const qsizetype lineStart = existing.lastIndexOf('\n', features.start) + 1;
            const QByteArray outer = existing.mid(lineStart, features.start - lineStart);
            qsizetype blanks = 0;
            while (blanks < outer.size() && (outer[blanks] == ' ' || outer[blanks] == '\t'))
                ++blanks;
            const QByteArray outerIndent = outer.left(blanks);
            const QByteArray firstKeyIndent
                = indentOf(spaceBefore(existing, members.isEmpty() ? root.end : members.first().value.start));
            JsonLayout layout = layoutLike(scan.bytes(root), {}, lineEnd, lines);
            if (lines) {
                layout.lineEnd = lineEnd;
                layout.unit = firstKeyIndent.isEmpty() ? QByteArray("  ") : firstKeyIndent;
                layout.indent = outerIndent + layout.unit;
                layout.padBraces = false;
            }
            const QByteArray inside = existing.mid(features.start + 1, features.end - features.start - 2);
            const bool open = inside.contains('\n') || inside.contains('\r');
            const QByteArray lead = lines ? lineEnd + layout.indent : QByteArray();
            edits = {{features.start + 1, features.start + 1,
                      lead + geoJsonFeature(point, layout)
                          + (lines && !open ? lineEnd + outerIndent : QByteArray())}};
        }
        edits += bboxWidened(scan, Scanner::member(members, u"bbox"), point);
    } else {
        return refuse(
            error,
            typeName.isEmpty()
                ? QStringLiteral("it is JSON, but not GeoJSON")
                : QStringLiteral("it is a GeoJSON %1, not a feature collection or a feature").arg(typeName));
    }

    QByteArray out = existing;
    std::sort(edits.begin(), edits.end(), [](const Edit &a, const Edit &b) { return a.from > b.from; });
    for (const Edit &edit : edits)
        out.replace(edit.from, edit.to - edit.from, edit.text);
    if (QJsonDocument::fromJson(out.sliced(bom), &parsed).isNull())
        return refuse(error, QStringLiteral("the point cannot be added to it without breaking it"));
    return out;
}

} // namespace quorvel::files
