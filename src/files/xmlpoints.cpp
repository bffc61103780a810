// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A point added to a GPX or KML file of the user's: the file is read as XML
// to find where the point goes and how its neighbours are laid out, and the
// point's text is inserted into the file's own bytes. Its encoding, byte
// order mark, declaration, line ends, entities, attributes and everything
// else stay as they are.

#include "pointtext.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QXmlStreamReader>

#include <algorithm>
#include <functional>
#include <variant>

namespace quorvel::files {

namespace {

std::optional<QByteArray> refuse(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

// The file's text as a parser sees it, and how to turn text back into the
// file's bytes.
struct XmlText
{
    QString text; // without the byte order mark
    QByteArray bom;
    QByteArray encodingName;
    std::optional<QStringConverter::Encoding> unicode; // UTF-8, -16 or -32; else `encodingName`

    QByteArray encoded(const QString &part) const
    {
        QStringEncoder encoder
            = unicode ? QStringEncoder(*unicode) : QStringEncoder(encodingName.constData());
        return encoder.encode(part);
    }
    // New text in the file's encoding; a character the encoding cannot hold
    // as a character reference (only text content holds such characters).
    QByteArray encodedNew(const QString &part) const
    {
        if (unicode)
            return encoded(part);
        QByteArray out;
        for (const char32_t code : part.toUcs4()) {
            QStringEncoder encoder(encodingName.constData());
            const QByteArray bytes = encoder.encode(QString::fromUcs4(&code, 1));
            out += encoder.hasError() ? encoded(QStringLiteral("&#%1;").arg(quint32(code))) : bytes;
        }
        return out;
    }
    // Where the character at `index` begins in the file.
    qsizetype byteOffset(qsizetype index) const { return bom.size() + encoded(text.left(index)).size(); }
};

// The encoding as XML 1.0 (appendix F) finds it: a byte order mark, else
// the first characters, else the declaration, else UTF-8.
std::variant<XmlText, QString> decoded(const QByteArray &bytes)
{
    using E = QStringConverter::Encoding;
    XmlText xml;
    const auto starts = [&bytes](QByteArrayView prefix) { return bytes.startsWith(prefix); };
    if (starts("\xEF\xBB\xBF"))
        xml.unicode = E::Utf8, xml.bom = bytes.left(3);
    else if (starts(QByteArrayView("\xFF\xFE\0\0", 4)))
        xml.unicode = E::Utf32LE, xml.bom = bytes.left(4);
    else if (starts(QByteArrayView("\0\0\xFE\xFF", 4)))
        xml.unicode = E::Utf32BE, xml.bom = bytes.left(4);
    else if (starts("\xFF\xFE"))
        xml.unicode = E::Utf16LE, xml.bom = bytes.left(2);
    else if (starts("\xFE\xFF"))
        xml.unicode = E::Utf16BE, xml.bom = bytes.left(2);
    else if (starts(QByteArrayView("<\0?\0", 4)))
        xml.unicode = E::Utf16LE;
    else if (starts(QByteArrayView("\0<\0?", 4)))
        xml.unicode = E::Utf16BE;
    if (!xml.unicode) {
        static const QRegularExpression declaration(
            QStringLiteral("^<\\?xml[^>]*\\sencoding\\s*=\\s*[\"']([A-Za-z][A-Za-z0-9._-]*)[\"']"));
        const QRegularExpressionMatch m = declaration.match(QString::fromLatin1(bytes.left(200)));
        const QByteArray name = m.hasMatch() ? m.captured(1).toLatin1() : QByteArray("UTF-8");
        const std::optional<E> known = QStringConverter::encodingForName(name.constData());
        if (known == E::Utf8)
            xml.unicode = E::Utf8;
        else if (!QStringDecoder(name.constData()).isValid())
            return QStringLiteral("it is written in %1, an encoding this program does not know")
                .arg(QString::fromLatin1(name));
        xml.encodingName = name;
    }
    const QByteArray body = bytes.sliced(xml.bom.size());
    QStringDecoder decoder
        = xml.unicode ? QStringDecoder(*xml.unicode) : QStringDecoder(xml.encodingName.constData());
    xml.text = decoder.decode(body);
    const QString encodingName = xml.unicode
        ? QString::fromLatin1(QStringConverter::nameForEncoding(*xml.unicode))
        : QString::fromLatin1(xml.encodingName);
    if (decoder.hasError())
        return QStringLiteral("it is not valid %1 text").arg(encodingName);
    // Every offset found in the text must be one in the bytes.
    if (xml.encoded(xml.text) != body)
        return QStringLiteral("its %1 text cannot be kept byte for byte").arg(encodingName);
    return xml;
}

// The white space before `offset` on its line, and whether a line begins there.
struct Indent
{
    QString text;
    bool ownLine = false;
};

Indent indentBefore(const QString &text, qsizetype offset)
{
    qsizetype from = offset;
    while (from > 0 && (text[from - 1] == QLatin1Char(' ') || text[from - 1] == QLatin1Char('\t')))
        --from;
    return {text.mid(from, offset - from),
            from > 0 && (text[from - 1] == QLatin1Char('\n') || text[from - 1] == QLatin1Char('\r'))};
}

// All the white space before `offset`, line ends included.
QString spaceBefore(const QString &text, qsizetype offset)
{
    qsizetype from = offset;
    while (from > 0 && QStringView(u" \t\r\n").contains(text[from - 1]))
        --from;
    return text.mid(from, offset - from);
}

// The line end that ends the last line in `space`, or, where it holds none, the file's first.
QString lineEndOf(const QString &space, const QString &text)
{
    const qsizetype at = space.lastIndexOf(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    const QString &in = at >= 0 ? space : text;
    const qsizetype cr = in.indexOf(QLatin1Char('\r'), std::max<qsizetype>(at, 0)),
                    lf = in.indexOf(QLatin1Char('\n'), std::max<qsizetype>(at, 0));
    if (cr >= 0 && (lf < 0 || cr < lf))
        return lf == cr + 1 ? QStringLiteral("\r\n") : QStringLiteral("\r");
    return QStringLiteral("\n");
}

// An element of the file: where its start tag begins and ends, where its
// end tag begins and ends (the same for <a/>), and, for the layout of its
// kind, the indent of its first child's line.
struct Span
{
    qsizetype start = -1; // the '<' of the start tag
    qsizetype startEnd = -1; // after its '>'
    qsizetype endStart = -1; // the '<' of the end tag
    qsizetype end = -1; // after its '>'
    QString qualifiedName;
    QString name;
    bool ours = false; // in the format's namespace
    Indent firstChild; // the indent of its first child element, where it has one
    bool hasChild = false;

    bool found() const { return start >= 0; }
    bool selfClosing() const { return end == startEnd; }
};

struct Edit
{
    qsizetype from;
    qsizetype to; // replaced up to here
    QString text;
};

// The element to insert: a waypoint or a placemark, with the prefix of its
// namespace, made for a layout.
struct NewElement
{
    QString kind;
    QString prefix;
    std::function<QString(const XmlLayout &)> make;
};

// The new element laid out as `sample` (an element of its kind, or of its
// level) is: its line, indent and child indent; its children on its own
// line only where a sample of its kind has them so.
XmlLayout layoutLike(const QString &text, const Span &sample, const Span &parent, const NewElement &element)
{
    XmlLayout layout;
    layout.prefix = element.prefix;
    const Indent own = indentBefore(text, sample.start);
    if (!own.ownLine) {
        layout.lineEnd.clear(); // on one line with its neighbours
        return layout;
    }
    layout.lineEnd = lineEndOf(spaceBefore(text, sample.start), text);
    layout.indent = own.text;
    const Indent parentIndent = indentBefore(text, parent.start);
    if (sample.hasChild && sample.firstChild.ownLine && sample.firstChild.text.startsWith(own.text)
        && sample.firstChild.text.size() > own.text.size())
        layout.unit = sample.firstChild.text.mid(own.text.size());
    else if (sample.hasChild && !sample.firstChild.ownLine && sample.name == element.kind)
        layout.lineEnd.clear();
    else if (own.text.startsWith(parentIndent.text) && own.text.size() > parentIndent.text.size())
        layout.unit = own.text.mid(parentIndent.text.size());
    else if (own.text.contains(QLatin1Char('\t')))
        layout.unit = QStringLiteral("\t");
    if (layout.lineEnd.isEmpty())
        layout.indent.clear();
    return layout;
}

// The edits that put `element` into `container`: after `after` (one of its children) or, where there is none,
// at the start or end of its content; a container written <a/> is opened.
QList<Edit> insertInto(const QString &text, const Span &container, const Span &parent, const Span *after,
                       bool atStart, const NewElement &element)
{
    if (after) {
        const XmlLayout layout = layoutLike(text, *after, container, element);
        return {{after->end, after->end, spaceBefore(text, after->start) + element.make(layout)}};
    }
    // No child to go by: one level in from the container, as the file's lines go.
    const Indent outer = indentBefore(text, container.start);
    const bool lines = text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
    XmlLayout layout;
    layout.prefix = element.prefix;
    if (!lines) {
        layout.lineEnd.clear();
    } else {
        layout.lineEnd = lineEndOf(spaceBefore(text, container.start), text);
        const Indent parentIndent = indentBefore(text, parent.found() ? parent.start : container.start);
        layout.unit = outer.text.startsWith(parentIndent.text) && outer.text.size() > parentIndent.text.size()
            ? outer.text.mid(parentIndent.text.size())
            : outer.text.contains(QLatin1Char('\t')) ? QStringLiteral("\t")
                                                     : QStringLiteral("  ");
        layout.indent = outer.text + layout.unit;
    }
    const QString inserted = layout.lineEnd + layout.indent + element.make(layout);
    const QString closing = layout.lineEnd + (lines ? outer.text : QString());
    if (container.selfClosing()) {
        // "<Document/>" becomes "<Document>…</Document>": the "/>" alone is replaced.
        return {{container.startEnd - 2, container.startEnd,
                 QStringLiteral(">") + inserted + closing
                     + QStringLiteral("</%1>").arg(container.qualifiedName)}};
    }
    // What follows goes on a line of its own: the end tag, or a first child
    // that was on the start tag's line.
    const QString inside = text.mid(container.startEnd, container.endStart - container.startEnd);
    const bool oneLine = !inside.contains(QLatin1Char('\n')) && !inside.contains(QLatin1Char('\r'));
    if (atStart) {
        const QString following = !lines                          ? QString()
            : container.hasChild && !container.firstChild.ownLine ? layout.lineEnd + layout.indent
            : !container.hasChild && oneLine                      ? closing
                                                                  : QString();
        return {{container.startEnd, container.startEnd, inserted + following}};
    }
    // At the end: after the last child's text, before the white space that leads to the end tag.
    const qsizetype at = container.endStart - spaceBefore(text, container.endStart).size();
    return {{at, at, inserted + (lines && oneLine && !container.hasChild ? closing : QString())}};
}

// "g:" for <g:gpx>, nothing for <gpx>: the new elements are written in
// the format's namespace as the element they go into names it.
QString prefixOf(const Span &span)
{
    const qsizetype colon = span.qualifiedName.indexOf(QLatin1Char(':'));
    return colon < 0 ? QString() : span.qualifiedName.left(colon + 1);
}

// KML 2.0 and 2.1 were Google's; 2.2 is OGC's, under either namespace.
std::optional<KmlVersion> kmlVersionOf(const QString &ns)
{
    if (ns == QLatin1String("http://earth.google.com/kml/2.0"))
        return KmlVersion::V2_0;
    if (ns == QLatin1String("http://earth.google.com/kml/2.1"))
        return KmlVersion::V2_1;
    if (ns == QLatin1String("http://www.opengis.net/kml/2.2")
        || ns == QLatin1String("http://earth.google.com/kml/2.2"))
        return KmlVersion::V2_2;
    if (ns == QLatin1String("http://www.opengis.net/kml/2.3"))
        return KmlVersion::V2_3;
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> xmlWithPointAdded(PointFormat format, const QByteArray &existing,
                                            const MeanPoint &point, QString *error)
{
    const bool gpx = format == PointFormat::Gpx;
    const QString kind = gpx ? QStringLiteral("GPX") : QStringLiteral("KML");
    auto decoding = decoded(existing);
    if (const QString *why = std::get_if<QString>(&decoding))
        return refuse(error, *why);
    const XmlText &xml = std::get<XmlText>(decoding);
    const QString &text = xml.text;
    if (!text.trimmed().startsWith(QLatin1Char('<')))
        return refuse(error, QStringLiteral("it is not an XML file"));

    QXmlStreamReader reader(text);
    QList<Span> open; // the elements read into, outermost first
    Span root, container, candidate, loneFeature, lastInContainer, lastPlacemark;
    KmlVersion kmlVersion = KmlVersion::V2_2;
    QString ns;
    bool pastWaypoints = false; // GPX: routes, tracks or extensions came
    while (!reader.atEnd()) {
        reader.readNext();
        const qsizetype offset = reader.characterOffset();
        if (reader.isStartElement()) {
            // The offset is past the tag's '>'; no '<' is inside a tag.
            const qsizetype start = text.lastIndexOf(QLatin1Char('<'), offset - 1);
            if (!open.isEmpty() && !open.last().hasChild) {
                open.last().hasChild = true;
                open.last().firstChild = indentBefore(text, start);
            }
            if (open.isEmpty()) {
                ns = reader.namespaceUri().toString();
                const QString name = reader.name().toString();
                const QString rootName = gpx ? QStringLiteral("gpx") : QStringLiteral("kml");
                if (name != rootName)
                    return refuse(error,
                                  QStringLiteral("it is XML, but not %1: its root element is %2")
                                      .arg(kind, reader.qualifiedName().toString()));
                // GPX 1.0 and 1.1 have the same waypoint, as far as ours goes.
                const std::optional<KmlVersion> kml = kmlVersionOf(ns);
                const bool known = gpx
                    ? ns == gpxNamespace(GpxVersion::V1_0) || ns == gpxNamespace(GpxVersion::V1_1)
                    : kml.has_value();
                if (known)
                    kmlVersion = kml.value_or(KmlVersion::V2_2);
                else if (ns.isEmpty())
                    return refuse(error,
                                  QStringLiteral("its %1 element names no %2 namespace").arg(name, kind));
                else
                    return refuse(error,
                                  QStringLiteral("it is %1 of a version this program does not know (%2)")
                                      .arg(kind, ns));
            }
            Span span;
            span.start = start;
            span.startEnd = offset;
            span.qualifiedName = reader.qualifiedName().toString();
            span.name = reader.name().toString();
            span.ours = reader.namespaceUri() == ns;
            open.append(span);
            continue;
        }
        if (!reader.isEndElement())
            continue;
        Span span = open.takeLast();
        // <a/> ends where it starts.
        span.endStart = offset == span.startEnd ? offset : text.lastIndexOf(QLatin1Char('<'), offset - 1);
        span.end = offset;
        const qsizetype depth = open.size();
        const Span *parent = open.isEmpty() ? nullptr : &open.last();
        if (depth == 0) {
            root = span;
        } else if (gpx && depth == 1 && !pastWaypoints) {
            // Waypoints come after the metadata (GPX 1.0: the header's
            // elements) and before routes, tracks and extensions.
            static const QStringList header{QStringLiteral("metadata"), QStringLiteral("name"),
                                            QStringLiteral("desc"),     QStringLiteral("author"),
                                            QStringLiteral("email"),    QStringLiteral("url"),
                                            QStringLiteral("urlname"),  QStringLiteral("time"),
                                            QStringLiteral("keywords"), QStringLiteral("bounds")};
            if (span.ours && (span.name == QLatin1String("wpt") || header.contains(span.name)))
                candidate = span;
            else
                pastWaypoints = true;
        } else if (!gpx && depth == 1 && span.ours && !container.found()) {
            if (span.name == QLatin1String("Document") || span.name == QLatin1String("Folder"))
                container = span;
            else if (span.name != QLatin1String("NetworkLinkControl") && !loneFeature.found())
                loneFeature = span; // the one feature a kml element holds
        } else if (!gpx && depth == 2 && !container.found() && parent->ours
                   && (parent->name == QLatin1String("Document")
                       || parent->name == QLatin1String("Folder"))) {
            lastInContainer = span;
            if (span.ours && span.name == QLatin1String("Placemark"))
                lastPlacemark = span;
        }
    }
    if (reader.hasError()) {
        if (reader.error() == QXmlStreamReader::PrematureEndOfDocumentError)
            return refuse(error, QStringLiteral("its XML breaks off at line %1").arg(reader.lineNumber()));
        return refuse(error,
                      QStringLiteral("its XML is broken at line %1, column %2")
                          .arg(reader.lineNumber())
                          .arg(reader.columnNumber()));
    }
    if (!root.found())
        return refuse(error, QStringLiteral("it is not an XML file"));

    QList<Edit> edits;
    if (gpx) {
        const NewElement waypoint{QStringLiteral("wpt"), prefixOf(root),
                                  [&point](const XmlLayout &layout) { return gpxWaypoint(point, layout); }};
        edits = insertInto(text, root, {}, candidate.found() ? &candidate : nullptr, true, waypoint);
    } else if (container.found()) {
        // At the end of the container, laid out as its last placemark, else
        // as its last child, else one level in.
        const NewElement placemark{
            QStringLiteral("Placemark"), prefixOf(container),
            [&](const XmlLayout &layout) { return kmlPlacemark(point, layout, kmlVersion); }};
        if (lastPlacemark.found()) {
            const XmlLayout layout = layoutLike(text, lastPlacemark, container, placemark);
            edits = {{lastInContainer.end, lastInContainer.end,
                      spaceBefore(text, lastPlacemark.start) + placemark.make(layout)}};
        } else {
            edits = insertInto(text, container, root, lastInContainer.found() ? &lastInContainer : nullptr,
                               false, placemark);
        }
    } else {
        const QString prefix = prefixOf(root);
        const NewElement placemark{QStringLiteral("Placemark"), prefix, [&](const XmlLayout &layout) {
                                       return kmlPlacemark(point, layout, kmlVersion);
                                   }};
        if (loneFeature.found()) {
            // A kml element holds one feature: this one and the new one go
            // into a Document, opened before it and closed after them.
            const Indent own = indentBefore(text, loneFeature.start);
            const QString lead
                = own.ownLine ? lineEndOf(spaceBefore(text, loneFeature.start), text) + own.text : QString();
            const XmlLayout layout = layoutLike(text, loneFeature, root, placemark);
            edits
                = {{loneFeature.start, loneFeature.start, QStringLiteral("<%1Document>").arg(prefix) + lead},
                   {loneFeature.end, loneFeature.end,
                    lead + placemark.make(layout) + lead + QStringLiteral("</%1Document>").arg(prefix)}};
        } else {
            edits = insertInto(text, root, {}, nullptr, false, placemark);
        }
    }

    // Into the bytes, from the last edit back.
    QByteArray out = existing;
    std::sort(edits.begin(), edits.end(), [](const Edit &a, const Edit &b) { return a.from > b.from; });
    for (const Edit &edit : edits) {
        const qsizetype from = xml.byteOffset(edit.from), to = xml.byteOffset(edit.to);
        out.replace(from, to - from, xml.encodedNew(edit.text));
    }
    // What is written must read as it did, with the point.
    const auto written = decoded(out);
    QXmlStreamReader check(std::holds_alternative<XmlText>(written) ? std::get<XmlText>(written).text
                                                                    : QString());
    while (!check.atEnd())
        check.readNext();
    if (check.hasError())
        return refuse(error, QStringLiteral("the point cannot be added to it without breaking it"));
    return out;
}

} // namespace quorvel::files
