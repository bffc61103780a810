// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "files/pointfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTest>
#include <QTimeZone>
#include <QTranslator>
#include <QXmlStreamReader>

using namespace quorvel;

class TestPointFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The plural forms of the texts that count, as the program installs them.
        auto *english = new QTranslator(QCoreApplication::instance());
        QVERIFY(english->load(QStringLiteral(":/i18n/quorvel_en.qm")));
        QCoreApplication::installTranslator(english);
    }

    // A mean saved as a new file, or added to a file of the same kind; read
    // back as other software reads it: GPX by the 1.1 schema's rules, KML by
    // its namespace, GeoJSON by RFC 7946, every number of a new file in plain
    // decimal notation.
    void pointFiles_data()
    {
        QTest::addColumn<int>("format"); // PointFormat
        QTest::addColumn<QByteArray>("existing"); // empty: a new file
        QTest::addColumn<int>("points"); // after saving (a new file: as many written); 0: refused
        QTest::addColumn<QByteArray>("kept");

        const int gpx = int(files::PointFormat::Gpx), kml = int(files::PointFormat::Kml),
                  json = int(files::PointFormat::GeoJson);
        const QByteArray day
            = "<?xml version=\"1.0\"?>"
              "\n"
              "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\" creator=\"x\">"
              "\n"
              "  <metadata><name>Day</name></metadata>"
              "\n"
              "  <wpt lat=\"48.1\" lon=\"11.5\"><name>First</name></wpt>"
              "\n"
              "  <trk><trkseg><trkpt lat=\"48.1\" lon=\"11.5\"/></trkseg></trk>"
              "\n"
              "</gpx>"
              "\n";
        QTest::newRow("GPX, new") << gpx << QByteArray() << 1 << QByteArray("creator=\"GPS Quorvel");
        QTest::newRow("GPX, after its waypoints, before its track")
            << gpx << day << 2 << QByteArray("<trkseg>");
        QTest::newRow("GPX with a prefix")
            << gpx
            << QByteArray(
                   "<g:gpx xmlns:g=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\" creator=\"x\"/>")
            << 1 << QByteArray("<g:wpt ");
        QTest::newRow("KML, two new") << kml << QByteArray() << 2 << QByteArray("<Document>");
        QTest::newRow("KML, into its Document")
            << kml
            << QByteArray("<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document><Style id=\"s\"/>"
                          "\n"
                          "<Placemark><name>First</name><Point><coordinates>11.5,48.1</coordinates></Point></"
                          "Placemark></Document></kml>")
            << 2 << QByteArray("<Style id=\"s\"/>");
        QTest::newRow("KML, a lone placemark wrapped with it")
            << kml
            << QByteArray("<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Placemark><name>First</name>"
                          "\n"
                          "<Point><coordinates>11.5,48.1</coordinates></Point></Placemark></kml>")
            << 2 << QByteArray("<Document><Placemark><name>First");
        QTest::newRow("GeoJSON, two new") << json << QByteArray() << 2 << QByteArray("FeatureCollection");
        QTest::newRow("GeoJSON, added to its collection")
            << json
            << QByteArray(
                   "{\"type\":\"FeatureCollection\",\"name\":\"Day\",\"features\":[{\"type\":\"Feature\","
                   "\"id\":7,"
                   "\n"
                   "\"geometry\":{\"type\":\"Point\",\"coordinates\":[1e-7,45]},\"properties\":null}]}")
            << 2 << QByteArray("[1e-7,45]");
        QTest::newRow("GeoJSON, one feature becomes a collection")
            << json
            << QByteArray(
                   "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[11.5,48.1]},"
                   "\n"
                   "\"properties\":{\"name\":\"First\"}}")
            << 2 << QByteArray("\"First\"");
    }

    void pointFiles()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, existing);
        QFETCH(int, points);
        QFETCH(QByteArray, kept);
        files::MeanPoint point; // near 0, 0: numbers an exponent would be written for
        point.name = QStringLiteral("Mark <1> & \"2\"");
        point.time = QDateTime(QDate(2026, 3, 14), QTime(12, 0, 5), QTimeZone::utc());
        point.latitude = 0.00001;
        point.longitude = -0.00002;
        point.elevation = 545.4;
        point.geoidSeparation = 46.9;
        point.spread.count = 600;
        const auto kind = files::PointFormat(format);
        QString error;
        const std::optional<QByteArray> file = existing.isEmpty()
            ? files::pointsFile(kind, QList<files::MeanPoint>(points, point),
                                QStringLiteral("GPS Quorvel 1.1"))
            : files::withPointAdded(kind, existing, point, &error);
        QCOMPARE(file.has_value(), points > 0);
        if (!file) {
            QVERIFY(!error.isEmpty());
            return;
        }
        QVERIFY2(file->contains(kept), file->constData());
        if (existing.isEmpty())
            QVERIFY2(!QRegularExpression(QStringLiteral("[0-9][eE][-+]?[0-9]")).match(*file).hasMatch(),
                     file->constData());

        QStringList names, positions; // of every point, in file order
        if (kind == files::PointFormat::GeoJson) {
            QJsonParseError parsed;
            const QJsonObject root = QJsonDocument::fromJson(*file, &parsed).object();
            QCOMPARE(parsed.error, QJsonParseError::NoError);
            QCOMPARE(root.value("type").toString(), QStringLiteral("FeatureCollection"));
            QVERIFY(!root.contains("crs"));
            for (const QJsonValue &feature : root.value("features").toArray()) {
                QCOMPARE(feature["type"].toString(), QStringLiteral("Feature"));
                QCOMPARE(feature["geometry"]["type"].toString(), QStringLiteral("Point"));
                names << feature["properties"]["name"].toString();
                QStringList coordinates;
                for (const QJsonValue &c : feature["geometry"]["coordinates"].toArray())
                    coordinates << QString::number(c.toDouble(), 'f', 5);
                positions << coordinates.join(',');
            }
            QCOMPARE(positions.last(), QStringLiteral("-0.00002,0.00001,592.30000")); // ellipsoidal height
        } else {
            const bool isGpx = kind == files::PointFormat::Gpx;
            const QString ns = isGpx ? "http://www.topografix.com/GPX/1/1" : "http://www.opengis.net/kml/2.2";
            // Each element's children in the order the GPX 1.1 schema allows.
            const QHash<QString, QStringList> order{
                {"gpx", {"metadata", "wpt", "rte", "trk", "extensions"}},
                {"wpt",
                 {"ele", "time", "magvar", "geoidheight", "name", "cmt", "desc", "src", "link", "sym"}}};
            QXmlStreamReader xml(*file);
            QList<std::pair<QString, int>> open; // element, index in `order` of the last child
            QString text;
            while (xml.readNext() != QXmlStreamReader::EndDocument && !xml.hasError()) {
                if (xml.isStartElement()) {
                    QCOMPARE(xml.namespaceUri().toString(), ns);
                    const QString name = xml.name().toString();
                    if (open.isEmpty()) {
                        QCOMPARE(name, isGpx ? QStringLiteral("gpx") : QStringLiteral("kml"));
                        if (isGpx) {
                            QCOMPARE(xml.attributes().value("version").toString(), QStringLiteral("1.1"));
                            QVERIFY(!xml.attributes().value("creator").isEmpty());
                        }
                    } else if (isGpx && order.contains(open.last().first)) {
                        const qsizetype at = order[open.last().first].indexOf(name);
                        QVERIFY2(at >= open.last().second, qPrintable(name));
                        open.last().second = int(at);
                    }
                    if (name == "wpt") {
                        const double lat = xml.attributes().value("lat").toDouble(),
                                     lon = xml.attributes().value("lon").toDouble();
                        QVERIFY(lat >= -90 && lat <= 90 && lon >= -180 && lon < 180);
                        positions << xml.attributes().value("lon").toString() + ","
                                + xml.attributes().value("lat").toString();
                    }
                    open.append({name, 0});
                    text.clear();
                } else if (xml.isCharacters()) {
                    text += xml.text();
                } else if (xml.isEndElement()) {
                    const QString parent = open.size() > 1 ? open[open.size() - 2].first : QString();
                    if (xml.name() == QLatin1String("name") && (parent == "wpt" || parent == "Placemark"))
                        names << text;
                    if (xml.name() == QLatin1String("coordinates"))
                        positions << text.trimmed();
                    open.removeLast();
                }
            }
            QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
            QCOMPARE(positions.last(),
                     isGpx ? QStringLiteral("-0.00002000,0.00001000")
                           : QStringLiteral("-0.00002000,0.00001000,545.4"));
        }
        QCOMPARE(names.size(), points);
        QCOMPARE(names.last(), point.name);
    }

    // Add the point: the user's file comes back byte for byte with the
    // point's text inserted, laid out as its neighbours are (a refusal says
    // why, in plain words). Where xmllint and python3 are installed, they
    // read every result too.
    void addPoint_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("name"); // the point's
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<QByteArray>("expected"); // empty: refused
        QTest::addColumn<QString>("error");

        const int gpx = int(files::PointFormat::Gpx), kml = int(files::PointFormat::Kml),
                  json = int(files::PointFormat::GeoJson);
        const QByteArray desc = "1 fix; CEP50 0.00 m, CEP95 0.00 m; too short to tell how good the mean is";
        // The point's text as a neighbour two spaces in lays it out.
        const QByteArray wpt = "<wpt lat=\"48.10000000\" lon=\"11.50000000\">\n    <ele>500</ele>\n"
                               "    <time>2026-03-14T12:00:05Z</time>\n    <geoidheight>47</geoidheight>\n"
                               "    <name>P</name>\n    <desc>"
            + desc + "</desc>\n  </wpt>";
        const QByteArray placemark = "<Placemark>\n      <name>P</name>\n      <description>" + desc
            + "</description>\n      <TimeStamp><when>2026-03-14T12:00:05Z</when></TimeStamp>\n"
              "      <Point><coordinates>11.50000000,48.10000000,500</coordinates></Point>\n    </Placemark>";
        const QByteArray feature
            = "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[11.5,48.1,547]},"
              "\"properties\":{\"name\":\"P\",\"time\":\"2026-03-14T12:00:05Z\",\"description\":\""
            + desc
            + "\",\"fixes\":1,\"span_s\":null,\"elevation_msl_m\":500,\"geoid_separation_m\":47,"
              "\"sd_north_m\":0,\"sd_east_m\":0,\"sd_up_m\":0,\"cep50_m\":0,\"cep95_m\":0,"
              "\"mean_horizontal95_m\":null,\"mean_vertical95_m\":null}}";
        // `file` with `inserted` where § is, and without it.
        const auto row = [](const char *title, int format, const QByteArray &file, const QByteArray &inserted,
                            const QString &name = QStringLiteral("P")) {
            QTest::newRow(title) << format << name << QByteArray(file).replace("§", "")
                                 << QByteArray(file).replace("§", inserted) << QString();
        };
        const QByteArray gpx11
            = "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\" creator=\"x\">";

        row("GPX: CR LF kept", gpx, gpx11 + "\r\n  <wpt lat=\"1\" lon=\"2\"/>§\r\n</gpx>\r\n",
            "\r\n  " + QByteArray(wpt).replace("\n", "\r\n"));
        row("GPX: byte order mark and standalone kept", gpx,
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n" + gpx11
                + "§\n</gpx>\n",
            "\n  " + wpt);
        row("GPX: attributes in their order; children on the waypoint's line as its neighbour has them", gpx,
            "<gpx creator=\"x\" version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
            "  <wpt lon=\"2\" lat=\"1\"><name>A</name></wpt>§\n</gpx>\n",
            "\n  " + QByteArray(wpt).replace("\n    ", "").replace("\n  ", ""));
        row("GPX: <trkpt/> kept; waypoints before tracks", gpx,
            gpx11 + "§\n  <trk><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk>\n</gpx>\n", "\n  " + wpt);
        row("GPX: entities kept; after the metadata", gpx,
            "<!DOCTYPE gpx [<!ENTITY me \"Ann\">]>\n" + gpx11
                + "\n  <metadata><author><name>&me; &amp; Jos&#233;</name></author></metadata>§\n</gpx>\n",
            "\n  " + wpt);
        row("GPX: the line end after a leading comment kept", gpx,
            "<!-- exported -->\n" + gpx11 + "§\n</gpx>", "\n  " + wpt);
        row("GPX: a prefix, and tabs", gpx,
            "<g:gpx xmlns:g=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\" creator=\"x\">\n"
            "\t<g:wpt lat=\"1\" lon=\"2\">\n\t\t<g:name>A</g:name>\n\t</g:wpt>§\n</g:gpx>\n",
            "\n\t"
                + QByteArray(wpt)
                      .replace("\n    ", "\n\t\t")
                      .replace("\n  ", "\n\t")
                      .replace("<", "<g:")
                      .replace("<g:/", "</g:"));
        row("GPX 1.0: after its header, in its namespace", gpx,
            "<gpx xmlns=\"http://www.topografix.com/GPX/1/0\" version=\"1.0\" creator=\"x\">\n"
            "  <name>Day</name>\n  <time>2026-03-14T08:00:00Z</time>§\n  <rte/>\n</gpx>\n",
            "\n  " + wpt);
        {
            // UTF-16 with its byte order mark, the name beyond ASCII.
            const QString file
                = QStringLiteral("\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n%1§\n</gpx>\n")
                      .arg(QString::fromLatin1(gpx11));
            const QString inserted = QStringLiteral("\n  ")
                + QString::fromLatin1(QByteArray(wpt).replace("<name>P<", "<name>@<"))
                      .replace(QStringLiteral("@"), QStringLiteral("Br\u00fccke \u20ac"));
            const auto utf16 = [](const QString &text) -> QByteArray {
                return QStringEncoder(QStringConverter::Utf16LE)(text);
            };
            QTest::newRow("GPX in UTF-16")
                << gpx << QStringLiteral("Br\u00fccke \u20ac") << utf16(QString(file).remove(u'§'))
                << utf16(QString(file).replace(u'§', inserted)) << QString();
        }
        row("GPX in ISO-8859-1: beyond it, character references", gpx,
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + gpx11
                + "\n  <wpt lat=\"1\" lon=\"2\"/>§\n</gpx>\n",
            "\n  "
                + QByteArray(wpt).replace("<name>P<",
                                          "<name>Br\xFC"
                                          "cke &#8364;<"),
            QStringLiteral("Br\u00fccke \u20ac"));
        row("KML: &#13; in a name kept, a CR in ours written so", kml,
            "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n  <Document>\n    <Placemark>\n"
            "      <name>A&#13;B</name>\n    </Placemark>§\n  </Document>\n</kml>\n",
            "\n    " + QByteArray(placemark).replace("<name>P<", "<name>P&#13;Q<"), QStringLiteral("P\rQ"));
        row("KML 2.1: at the end of its Document", kml,
            "<kml xmlns=\"http://earth.google.com/kml/2.1\">\n  <Document>\n    <Placemark>\n"
            "      <name>A</name>\n    </Placemark>\n    <Style id=\"s\"/>§\n  </Document>\n</kml>\n",
            "\n    " + placemark);
        row("KML 2.0: no TimeStamp; in its Folder", kml,
            "<kml xmlns=\"http://earth.google.com/kml/2.0\">\n  <Folder>\n    <name>Day</name>§\n  "
            "</Folder>\n</kml>\n",
            "\n    "
                + QByteArray(placemark).replace(
                    "      <TimeStamp><when>2026-03-14T12:00:05Z</when></TimeStamp>\n", ""));
        QTest::newRow("KML: a lone placemark goes into a Document with ours")
            << kml << QStringLiteral("P")
            << QByteArray("<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n  <Placemark/>\n</kml>\n")
            << "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n  <Document>\n  <Placemark/>\n  "
                + QByteArray(placemark).replace("\n  ", "\n") + "\n  </Document>\n</kml>\n"
            << QString();
        QTest::newRow("KML 2.3: an empty Document opened")
            << kml << QStringLiteral("P")
            << QByteArray("<kml xmlns=\"http://www.opengis.net/kml/2.3\">\n  <Document/>\n</kml>\n")
            << "<kml xmlns=\"http://www.opengis.net/kml/2.3\">\n  <Document>\n    " + placemark
                + "\n  </Document>\n</kml>\n"
            << QString();

        row("GeoJSON: its keys in their order, its indentation", json,
            "{\n    \"type\": \"FeatureCollection\",\n    \"name\": \"Day\",\n    \"features\": [\n        "
            "{\n"
            "            \"type\": \"Feature\",\n            \"properties\": {\"z\": 1},\n"
            "            \"geometry\": {\"type\": \"Point\", \"coordinates\": [11.4, 48.0]}\n        }§\n    "
            "]\n}\n",
            ",\n        {\n            \"type\": \"Feature\",\n            \"geometry\": {\n"
            "                \"type\": \"Point\",\n                \"coordinates\": [11.5, 48.1, 547]\n"
            "            },\n            \"properties\": {\n                \"name\": \"P\",\n"
            "                \"time\": \"2026-03-14T12:00:05Z\",\n                \"description\": \""
                + desc
                + "\",\n                \"fixes\": 1,\n                \"span_s\": null,\n"
                  "                \"elevation_msl_m\": 500,\n                \"geoid_separation_m\": 47,\n"
                  "                \"sd_north_m\": 0,\n                \"sd_east_m\": 0,\n"
                  "                \"sd_up_m\": 0,\n                \"cep50_m\": 0,\n"
                  "                \"cep95_m\": 0,\n                \"mean_horizontal95_m\": null,\n"
                  "                \"mean_vertical95_m\": null\n            }\n        }");
        row("GeoJSON: its numbers as written", json,
            "{\"type\":\"FeatureCollection\",\"features\":[{\"type\":\"Feature\",\"geometry\":null,"
            "\"properties\":{\"id\":12345678901234567890,\"h\":1.10,\"d\":1e-7}}§]}",
            "," + feature);
        QTest::newRow("GeoJSON: its bbox widened")
            << json << QStringLiteral("P")
            << QByteArray("{\"type\":\"FeatureCollection\",\"bbox\":[11.0,48.0,11.2,48.05],\"features\":[]}")
            << "{\"type\":\"FeatureCollection\",\"bbox\":[11.0,48.0,11.5,48.1],\"features\":[" + feature
                + "]}"
            << QString();
        QTest::newRow("GeoJSON: its 3D bbox widened, west across 180°")
            << json << QStringLiteral("P")
            << QByteArray(
                   "{\"bbox\":[170,48.0,0.5,-170,48.5,560.5],\"type\":\"FeatureCollection\",\"features\":[]}")
            << "{\"bbox\":[11.5,48.0,0.5,-170,48.5,560.5],\"type\":\"FeatureCollection\",\"features\":["
                + feature + "]}"
            << QString();
        row("GeoJSON 2008: CRS84 as QGIS writes it", json,
            "{\r\n\"type\": \"FeatureCollection\",\r\n\"name\": \"pts\",\r\n\"crs\": { \"type\": \"name\", "
            "\"properties\": { \"name\": \"urn:ogc:def:crs:OGC:1.3:CRS84\" } },\r\n\"features\": [\r\n"
            "{ \"type\": \"Feature\", \"properties\": { \"name\": \"A\" }, \"geometry\": null "
            "}§\r\n]\r\n}\r\n",
            ",\r\n"
                + QByteArray(feature)
                      .replace("\":", "\": ")
                      .replace(",\"", ", \"")
                      .replace("{\"", "{ \"")
                      .replace("}", " }")
                      .replace("[11.5,48.1,547]", "[ 11.5, 48.1, 547 ]"));

        const auto refused = [](const char *title, int format, const QByteArray &file, const char *error) {
            QTest::newRow(title) << format << QStringLiteral("P") << file << QByteArray()
                                 << QString::fromUtf8(error);
        };
        refused("GeoJSON in metres (EPSG:25832, as QGIS exports it)", json,
                "{\"type\":\"FeatureCollection\",\"crs\":{\"type\":\"name\",\"properties\":"
                "{\"name\":\"urn:ogc:def:crs:EPSG::25832\"}},\"features\":[]}",
                "its coordinates are in urn:ogc:def:crs:EPSG::25832 (its “crs”), not in WGS 84 longitude and "
                "latitude");
        refused("GeoJSON: a geometry alone", json, "{\"type\":\"Point\",\"coordinates\":[11.5,48.1]}",
                "it is a GeoJSON Point, not a feature collection or a feature");
        refused("GeoJSON: broken", json, "{\"type\":\"FeatureCollection\",\n",
                "its JSON is broken at line 2");
        refused("GPX: text", gpx, "lat,lon\n48,11\n", "it is not an XML file");
        refused("GPX: broken", gpx, gpx11 + "\n<wpt>", "its XML breaks off at line 2");
        refused("KML: a GPX file", kml, gpx11 + "</gpx>", "it is XML, but not KML: its root element is gpx");
        refused("KML 3.0", kml, "<kml xmlns=\"http://www.opengis.net/kml/3.0\"/>",
                "it is KML of a version this program does not know (http://www.opengis.net/kml/3.0)");
    }

    void addPoint()
    {
        QFETCH(int, format);
        QFETCH(QString, name);
        QFETCH(QByteArray, existing);
        QFETCH(QByteArray, expected);
        QFETCH(QString, error);
        files::MeanPoint point;
        point.name = name;
        point.time = QDateTime(QDate(2026, 3, 14), QTime(12, 0, 5), QTimeZone::utc());
        point.latitude = 48.1;
        point.longitude = 11.5;
        point.elevation = 500;
        point.geoidSeparation = 47;
        point.spread.count = 1;
        QString told;
        const std::optional<QByteArray> file
            = files::withPointAdded(files::PointFormat(format), existing, point, &told);
        if (expected.isEmpty()) {
            QVERIFY(!file);
            QCOMPARE(told, error);
            return;
        }
        QVERIFY2(file, qPrintable(told));
        QCOMPARE(*file, expected);

        // As other software reads it.
        const bool isJson = format == int(files::PointFormat::GeoJson);
        const QStringList reader = isJson
            ? QStringList{"python3", "-c",
                          "import json, sys; json.loads(sys.stdin.buffer.read().decode('utf-8-sig'))"}
            : QStringList{"xmllint", "--noout", "-"};
        if (QStandardPaths::findExecutable(reader.first()).isEmpty())
            QSKIP(qPrintable(reader.first() + " is not installed"));
        QProcess process;
        process.start(reader.first(), reader.mid(1));
        process.write(*file);
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished());
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    }

    // A point with all its figures, and one too short to tell, without the
    // geoid's height or a time.
    void pointsCsv()
    {
        files::MeanPoint known;
        known.name = QStringLiteral("Stone \"4\", north");
        known.time = QDateTime(QDate(2026, 3, 14), QTime(12, 0, 5), QTimeZone::utc());
        known.latitude = 48.1173;
        known.longitude = -0.00002;
        known.elevation = 545.4;
        known.geoidSeparation = 46.9;
        known.spread.count = 600;
        known.spread.cep50 = 0.5;
        known.spread.cep95 = 1.204;
        known.spread.mean.horizontal95 = 0.84;
        known.spread.mean.vertical95 = 1.31;
        files::MeanPoint brief;
        brief.name = QStringLiteral("Pfahl ü");
        brief.latitude = -33.5;
        brief.longitude = 151.2;
        brief.elevation = -2;
        brief.spread.count = 3;
        QCOMPARE(files::pointsCsv({known, brief}),
                 QByteArray(
                     "name,time_utc,latitude,longitude,elevation_msl_m,geoid_separation_m,fixes,cep50_m,"
                     "cep95_m,mean_horizontal95_m,mean_vertical95_m\r\n"
                     "\"Stone \"\"4\"\", north\",2026-03-14T12:00:05Z,48.11730000,-0.00002000,545.4,46.9,600,"
                     "0.5,1.204,0.84,1.31\r\n"
                     "Pfahl \xc3\xbc,,-33.50000000,151.20000000,-2,,3,0,0,,\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestPointFiles)
#include "tst_pointfiles.moc"
