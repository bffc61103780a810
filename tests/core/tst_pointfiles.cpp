// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "files/pointfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
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

    // A mean saved as a new file, or added to a file of the same kind with
    // all else in it kept; read back as other software reads it: GPX by the
    // 1.1 schema's rules, KML by its namespace, GeoJSON by RFC 7946, every
    // number in plain decimal notation.
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
        QTest::newRow("GPX 1.0 is refused")
            << gpx << QByteArray(day).replace("1/1", "1/0") << 0 << QByteArray();
        QTest::newRow("text is refused") << gpx << QByteArray("lat,lon\n48,11\n") << 0 << QByteArray();
        QTest::newRow("KML, two new") << kml << QByteArray() << 2 << QByteArray("<Document>");
        QTest::newRow("KML, into its Document")
            << kml
            << QByteArray("<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document><Style id=\"s\"/>"
                          "\n"
                          "<Placemark><name>First</name><Point><coordinates>11.5,48.1</coordinates></Point></"
                          "Placemark></Document></kml>")
            << 2 << QByteArray("<Style id=\"s\">");
        QTest::newRow("KML, a lone placemark wrapped with it")
            << kml
            << QByteArray("<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Placemark><name>First</name>"
                          "\n"
                          "<Point><coordinates>11.5,48.1</coordinates></Point></Placemark></kml>")
            << 2 << QByteArray("<Document><Placemark><name>First");
        QTest::newRow("KML, a GPX file is refused") << kml << day << 0 << QByteArray();
        QTest::newRow("GeoJSON, two new") << json << QByteArray() << 2 << QByteArray("FeatureCollection");
        QTest::newRow("GeoJSON, added to its collection")
            << json
            << QByteArray(
                   "{\"type\":\"FeatureCollection\",\"name\":\"Day\",\"features\":[{\"type\":\"Feature\","
                   "\"id\":7,"
                   "\n"
                   "\"geometry\":{\"type\":\"Point\",\"coordinates\":[1e-7,45]},\"properties\":null}]}")
            << 2 << QByteArray("0.0000001");
        QTest::newRow("GeoJSON, one feature becomes a collection")
            << json
            << QByteArray(
                   "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[11.5,48.1]},"
                   "\n"
                   "\"properties\":{\"name\":\"First\"}}")
            << 2 << QByteArray("\"First\"");
        QTest::newRow("GeoJSON, a geometry alone is refused")
            << json << QByteArray("{\"type\":\"Point\",\"coordinates\":[11.5,48.1]}") << 0 << QByteArray();
        QTest::newRow("GeoJSON, broken")
            << json << QByteArray("{\"type\":\"FeatureCollection\",") << 0 << QByteArray();
    }

    void pointFiles()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, existing);
        QFETCH(int, points);
        QFETCH(QByteArray, kept);
        files::MeanPoint point; // near 0, 0: numbers an exponent would be written for
        point.name = QStringLiteral("Mark <1> & \"2\"");
        point.time = QDateTime(QDate(2026, 3, 14), QTime(12, 0, 5), Qt::UTC);
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

    // A point with all its figures, and one too short to tell, without the
    // geoid's height or a time.
    void pointsCsv()
    {
        files::MeanPoint known;
        known.name = QStringLiteral("Stone \"4\", north");
        known.time = QDateTime(QDate(2026, 3, 14), QTime(12, 0, 5), Qt::UTC);
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
