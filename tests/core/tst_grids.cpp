// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "grids/grids.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace quorvel::grids;

namespace {

// What GeographicLib's own GeoConvert says of a point with `options`.
QString geoConvert(const QString &program, const QStringList &options, double latitude, double longitude)
{
    QProcess process;
    process.start(program, options);
    process.write(QStringLiteral("%1 %2\n").arg(latitude, 0, 'f', 10).arg(longitude, 0, 'f', 10).toLatin1());
    process.closeWriteChannel();
    process.waitForFinished();
    return QString::fromLatin1(process.readAllStandardOutput()).trimmed();
}

} // namespace

class TestGrids : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void grids_data()
    {
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");

        QTest::newRow("Munich, 32U") << 48.1173 << 11.5167;
        QTest::newRow("Sydney, 56H") << -33.8688 << 151.2093;
        QTest::newRow("on a zone's edge") << 47.9 << 6.0;
        QTest::newRow("on the equator, band N") << 0.0 << 0.0;
        QTest::newRow("just south of it, band M") << -0.00001 << 0.0;
        QTest::newRow("Norway: 32V, not 31V") << 56.0 << 3.5;
        QTest::newRow("Norway: west of 3 degrees stays 31V") << 63.9 << 2.9;
        QTest::newRow("Svalbard: 31X reaches to 9 degrees") << 75.0 << 8.9;
        QTest::newRow("Svalbard: 33X") << 78.0 << 20.9;
        QTest::newRow("Svalbard: 35X") << 78.0 << 21.1;
        QTest::newRow("Svalbard: 37X") << 80.0 << 33.1;
        QTest::newRow("band X up to 84 degrees") << 83.99 << 10.0;
        QTest::newRow("band C down to 80 degrees south") << -79.99 << -170.0;
        QTest::newRow("UPS north of 84 degrees") << 84.5 << 10.0;
        QTest::newRow("UPS south of 80 degrees south") << -80.5 << -170.0;
        QTest::newRow("north pole") << 90.0 << 0.0;
        QTest::newRow("south pole") << -90.0 << 0.0;
        QTest::newRow("antimeridian, east") << 0.0 << 180.0;
        QTest::newRow("antimeridian, west") << 65.0 << -179.9999;
        QTest::newRow("antimeridian, rounding up to 10000000") << -0.0000001 << 179.9999999;
    }

    // UTM/UPS and MGRS as GeoConvert gives them, and both read back to
    // within a metre.
    void grids()
    {
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        const QString utm = utmText({latitude, longitude}), mgrs = mgrsText({latitude, longitude});
        for (const QString &text : {utm, mgrs}) {
            const std::optional<GeoPoint> back = parsePosition(text);
            QVERIFY2(back, qPrintable(text));
            QVERIFY2(compareWith({latitude, longitude}, *back, std::nullopt).distance < 1, qPrintable(text));
        }

        const QString program = QStandardPaths::findExecutable(QStringLiteral("GeoConvert"));
        if (program.isEmpty())
            QSKIP("GeoConvert is not installed (Debian package geographiclib-tools)");
        const QString expectedMgrs = geoConvert(
            program, {QStringLiteral("-m"), QStringLiteral("-p"), QStringLiteral("0")}, latitude, longitude);
        QCOMPARE(QString(mgrs).remove(QLatin1Char(' ')), expectedMgrs);
        // "UTM 32U 687302 5332401" against "32n 687302 5332401", the band
        // against MGRS's; "UPS N 2000000 2000000" against "n 2000000 2000000".
        const QStringList words = utm.split(QLatin1Char(' '));
        QCOMPARE(words.size(), 4);
        QString converted;
        if (words[0] == QLatin1String("UTM")) {
            const QChar band = words[1].back();
            QCOMPARE(band, expectedMgrs.at(2));
            converted = QStringLiteral("%1%2")
                            .arg(words[1].chopped(1).toInt(), 2, 10, QLatin1Char('0'))
                            .arg(band >= QLatin1Char('N') ? 'n' : 's');
        } else {
            QCOMPARE(words[0], QStringLiteral("UPS"));
            converted = words[1].toLower();
        }
        QCOMPARE(QStringList({converted, words[2], words[3]}).join(QLatin1Char(' ')),
                 geoConvert(program, {QStringLiteral("-u"), QStringLiteral("-p"), QStringLiteral("0")},
                            latitude, longitude));
    }

    // Every form the program writes (Copy position, the tooltips) and those
    // of survey sheets; what is no position is refused with its reason in
    // our words, never a library's or an overflowed number.
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");
        QTest::addColumn<QString>("error"); // refused, with this reason

        QTest::newRow("decimal degrees, as Copy position gives them")
            << "48.11730000,11.51666667" << 48.1173 << 11.5166667 << "";
        QTest::newRow("decimal degrees, blank") << " -33.5   151.2 " << -33.5 << 151.2 << "";
        QTest::newRow("decimal degrees with hemispheres")
            << "48.1173 N, 11.5167 W" << 48.1173 << -11.5167 << "";
        QTest::newRow("longitude first, with hemispheres") << "11.5167E 48.1173N" << 48.1173 << 11.5167 << "";
        QTest::newRow("DMS as Copy position gives it")
            << "48° 07′ 02.284″ N, 11° 31′ 00.010″ E" << 48.117301 << 11.516669 << "";
        QTest::newRow("degrees and minutes, as the tooltip gives them")
            << "48° 07.03800′ S, 11° 31.00000′ E" << -48.1173 << 11.516667 << "";
        QTest::newRow("DMS typed") << "48°07'02.3\"N 11°31'00\"E" << 48.117306 << 11.516667 << "";
        QTest::newRow("DMS with spaces, as on survey sheets")
            << "48 07 02.284 N 11 31 00.010 E" << 48.117301 << 11.516669 << "";
        QTest::newRow("DMS with spaces, letters first")
            << "S 48 07 02.284 W 11 31 00.010" << -48.117301 << -11.516669 << "";
        QTest::newRow("DMS with spaces, signed, bare")
            << "-48 07 02.284 11 31 00.010" << -48.117301 << 11.516669 << "";
        QTest::newRow("degrees and minutes, west") << "48d07.038N 11d31W" << 48.1173 << -11.516667 << "";
        QTest::newRow("UTM with band, as Copy position gives it")
            << "UTM 32U 687302 5332401" << 48.1173 << 11.5167 << "";
        QTest::newRow("UTM band S is in the north") << "UTM 33S 500000 4000000" << 36.1447181 << 15.0 << "";
        QTest::newRow("UTM with hemisphere, units") << "33s 500000mE 4000000mN" << -54.1481041 << 15.0 << "";
        QTest::newRow("MGRS") << "32UPU8730232401" << 48.1173 << 11.5167 << "";
        QTest::newRow("MGRS in groups, as Copy position gives it")
            << "32U PU 87302 32401" << 48.1173 << 11.5167 << "";
        QTest::newRow("UPS") << "UPS N 2000000 2000000" << 90.0 << 0.0 << "";
        QTest::newRow("marks of direction and zero-width spaces, as copied from right-to-left text")
            << QStringLiteral("\u200f48.1173\u200f,\u200e\u200b11.5167\u2069") << 48.1173 << 11.5167 << "";
        const double none = qQNaN();
        const auto refused = [none](const char *name, const char *text, const char *error) {
            QTest::newRow(name) << QString::fromUtf8(text) << none << none << QString::fromUtf8(error);
        };
        refused("empty", "", "no position given");
        refused("words", "the church tower", "“the” is not part of a position");
        refused("a control character", "48.1173\x01 11.5167",
                "the control character U+0001 is not part of a position");
        refused("not a number", "nan nan", "“nan” is not a number");
        refused("infinite", "inf, 11", "“inf” is not a number");
        refused("exponent", "4.8e1 11", "“4.8e1” is not a number");
        refused("two points in a number", "48.1.1 11", "“48.1.1” is not a number");
        refused("latitude beyond the pole", "91 10", "the latitude “91” lies beyond the pole (90°)");
        refused("longitude beyond 180", "10 180.5", "the longitude “180.5” lies beyond 180°");
        refused("a very long number", "1000000000000000000000 10",
                "the latitude “100000000000000…” lies beyond the pole (90°)");
        refused("minutes of 60", "48 60 11 31", "“60” minutes: minutes run up to 60");
        refused("decimals before minutes", "48.5° 07′ N 11° E", "“48.5” has decimals, but figures follow it");
        refused("sign and hemisphere", "-48.1 S 11 E",
                "“-48.1” has a sign and the letter S; give one of them");
        refused("two latitudes", "48 N 11 S", "both coordinates are latitudes (N or S)");
        refused("one coordinate", "48.1173 N", "it gives one coordinate, not a latitude and a longitude");
        refused(
            "three bare numbers", "48 07 11",
            "it cannot be told where the latitude ends and the longitude begins; put a comma between them");
        refused("no zone 61", "UTM 61N 500000 0", "UTM zones are 1 to 60, not “61”");
        refused("a zone that overflows", "UTM 2147483649U 500000 0",
                "UTM zones are 1 to 60, not “2147483649”");
        refused("no band I", "UTM 32I 687302 5332401",
                "there is no latitude band I in UTM (C to X, without I and O)");
        refused("UTM easting not a number", "UTM 32U 1.2.3 5332401", "the easting “1.2.3” is not a number");
        refused("UTM easting beyond the zone", "UTM 32U 1687302 5332401",
                "the easting “1687302” lies outside the zone (0 to 1000000 m)");
        refused("UTM northing against its band", "UTM 32T 687302 5332401",
                "the northing “5332401” lies in latitude band U, not T");
        refused("UTM incomplete", "UTM 32U 687302",
                "a UTM position is its zone and band, easting and northing, as in UTM 32U 687302 5332401");
        refused("UPS off the polar grid", "UPS N 0 2000000",
                "eastings and northings of the northern polar grid run from 1200000 to 2800000 m");
        refused("MGRS, odd figures", "32UPU873023240",
                "an MGRS reference has as many figures of easting as of northing");
        refused("MGRS, no such square", "32U AA 87302 32401", "there is no square AA in grid zone 32U");
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        QFETCH(QString, error);
        QString told;
        const std::optional<GeoPoint> point = parsePosition(text, &told);
        if (!error.isEmpty()) {
            QVERIFY(!point);
            QCOMPARE(told, error);
            return;
        }
        QVERIFY2(point, qPrintable(told));
        QVERIFY2(
            compareWith({latitude, longitude}, *point, std::nullopt).distance < 1,
            qPrintable(
                QStringLiteral("%1 %2").arg(point->latitude, 0, 'f', 7).arg(point->longitude, 0, 'f', 7)));
    }

    void compare_data()
    {
        QTest::addColumn<double>("latitude"); // of the known point; the mean is at 0, 0
        QTest::addColumn<double>("longitude");
        QTest::addColumn<double>("radius"); // the mean's 95 % radius; -1 none
        QTest::addColumn<double>("distance");
        QTest::addColumn<double>("bearing");
        QTest::addColumn<int>("within"); // -1: not told
        QTest::addColumn<QString>("text");

        // One minute of arc at the equator on WGS 84: 1842.904 m along the
        // meridian, 1855.325 m along the equator.
        const QString known = QStringLiteral("Known point: %1 from the mean; %2");
        QTest::newRow("north") << 1.0 / 60 << 0.0 << 2000.0 << 1842.904 << 0.0 << 1
                               << known.arg("1.843 km at 0\u00b0", "within the 95 % radius");
        QTest::newRow("east, outside") << 0.0 << 1.0 / 60 << 1800.0 << 1855.325 << 90.0 << 0
                                       << known.arg("1.855 km at 90\u00b0", "outside the 95 % radius");
        QTest::newRow("south") << -1.0 / 60 << 0.0 << -1.0 << 1842.904 << 180.0 << -1
                               << known.arg("1.843 km at 180\u00b0",
                                            "too short to tell whether it lies within the 95 % radius");
        QTest::newRow("west: 270, not -90")
            << 0.0 << -1.0 / 60 << -1.0 << 1855.325 << 270.0 << -1
            << known.arg("1.855 km at 270\u00b0", "too short to tell whether it lies within the 95 % radius");
        QTest::newRow("metres; 359.9 degrees shown as 0")
            << 0.0001 << -0.0000002 << 20.0 << 11.0574 << 359.884636 << 1
            << known.arg("11.06 m at 0\u00b0", "within the 95 % radius");
        QTest::newRow("on the point: no direction") << 0.0 << 0.00000002 << 1.0 << 0.0022 << 90.0 << 1
                                                    << known.arg("0.00 m", "within the 95 % radius");
    }

    void compare()
    {
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        QFETCH(double, radius);
        QFETCH(double, distance);
        QFETCH(double, bearing);
        QFETCH(int, within);
        QFETCH(QString, text);
        const Comparison c
            = compareWith({0, 0}, {latitude, longitude}, radius < 0 ? std::nullopt : std::optional(radius));
        QVERIFY2(std::fabs(c.distance - distance) < 1e-3, qPrintable(QString::number(c.distance, 'f', 4)));
        QVERIFY2(std::fabs(c.bearing - bearing) < 1e-6, qPrintable(QString::number(c.bearing, 'f', 6)));
        QCOMPARE(c.withinRadius ? int(*c.withinRadius) : -1, within);
        QCOMPARE(comparisonText(c), text);
    }
};

QTEST_GUILESS_MAIN(TestGrids)
#include "tst_grids.moc"
