// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "average/average.h"
#include "average/export.h"
#include "average/numbertext.h"
#include "average/statistics.h"
#include "ring/samplering.h"

#include <QTest>

#include <clocale>
#include <limits>

using namespace quorvel;
using Samples = QList<QList<double>>; // {latitude, longitude, altitude} per sample

Q_DECLARE_METATYPE(Samples)

namespace {

QString shown(double value, const char *separator = ".")
{
    return QString::fromStdString(average::numberText(value, separator));
}

} // namespace

class TestAverage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Qt sets the C library's locale from the user's; where its decimal
    // point is two bytes (U+066B under ps_AF), no number text may change.
    void initTestCase()
    {
        qputenv("LOCPATH", TEST_LOCALES);
        QVERIFY2(std::setlocale(LC_NUMERIC, "ps_AF.UTF-8"),
                 "the locale ps_AF.UTF-8 could not be built in " TEST_LOCALES
                 ": install the locales package");
    }

    void mean_data()
    {
        QTest::addColumn<Samples>("samples");
        QTest::addColumn<QStringList>("expected"); // latitude, longitude, elevation as shown

        QTest::newRow("single sample")
            << Samples{{4807.038, -1131, 545.4}} << QStringList{"48.07038", "-11.31", "545.4"};
        QTest::newRow("three samples") << Samples{{4807.038, -1131.000, 545.4},
                                                  {4807.040, -1131.002, 545.6},
                                                  {4807.042, -1131.004, 545.5}}
                                       << QStringList{"48.0704", "-11.31002", "545.5"};
        QTest::newRow("whole metres shown without separator")
            << Samples{{4807, 1131, 544}, {4807, 1131, 546}} << QStringList{"48.07", "11.31", "545"};
        QTest::newRow("across a whole degree")
            << Samples{{4759.999, 1131, 0}, {4800.001, 1131, 0}} << QStringList{"48", "11.31", "0"};
        QTest::newRow("across the equator")
            << Samples{{0.5, 1131, 0}, {-0.5, 1131, 0}} << QStringList{"0", "11.31", "0"};
        QTest::newRow("across the 180th meridian")
            << Samples{{100, 17959.9, 0}, {100, -17959.9, 0}} << QStringList{"1", "180", "0"};
        QTest::newRow("near the 180th meridian, east side")
            << Samples{{100, 17959.9, 0}, {100, -17959.5, 0}, {100, -17959.5, 0}}
            << QStringList{"1", "-179.597", "0"};
        QTest::newRow("south and east")
            << Samples{{-3412.5, -15112.25, 48.6}} << QStringList{"-34.125", "-151.1225", "48.6"};
    }

    void mean()
    {
        QFETCH(Samples, samples);
        QFETCH(QStringList, expected);
        auto state = std::make_unique<SampleRing>();
        for (const QList<double> &s : samples)
            state->storeSample(s[0], s[1], s[2]);
        const std::optional<average::Average> average = average::averageSamples(*state);
        QVERIFY(average);
        const average::MeanPosition *mean = &average->mean;
        QCOMPARE((QStringList{shown(mean->latitude), shown(mean->longitude), shown(mean->elevation)}),
                 expected);
    }

    void onlyTheRingEntersTheMean()
    {
        auto state = std::make_unique<SampleRing>();
        state->storeSample(9000, 9000, 9000); // overwritten below
        for (int i = 0; i < SampleRing::RingSize; ++i)
            state->storeSample(4807, 1131, 100);
        QCOMPARE(shown(average::averageSamples(*state)->mean.elevation), QStringLiteral("100"));
    }

    // Identical fixes average to exactly their value, however many there are.
    void identicalFixesGiveTheirValue()
    {
        auto ring = std::make_unique<SampleRing>();
        for (int i = 0; i < SampleRing::RingSize; ++i)
            ring->storeSample(4807.038, -1131.0, 545.4);
        const average::MeanPosition mean = average::averageSamples(*ring)->mean;
        QCOMPARE((QStringList{shown(mean.latitude), shown(mean.longitude), shown(mean.elevation)}),
                 (QStringList{"48.07038", "-11.31", "545.4"}));
    }

    void emptyAndAbsurd()
    {
        auto state = std::make_unique<SampleRing>();
        QVERIFY(!average::averageSamples(*state));
        state->storeSample(4807, 1131, 1e308);
        state->storeSample(4807, 1131, 1e308);
        QVERIFY(!average::averageSamples(*state)->mean.isFinite());
    }

    void numberText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("expected");

        QTest::newRow("fraction") << 48.0704 << "."
                                  << "48.0704";
        QTest::newRow("no trailing separator") << 545.0 << "."
                                               << "545";
        QTest::newRow("leading zero, sign") << -0.5 << "."
                                            << "-0.5";
        QTest::newRow("no group separator") << 1234.5 << ","
                                            << "1234,5";
        QTest::newRow("comma locale") << 48.07038 << ","
                                      << "48,07038";
        QTest::newRow("separator of two bytes") << -48.07038 << "٫"
                                                << "-48٫07038";
        QTest::newRow("15 significant digits") << 2.0 / 3 << "."
                                               << "0.666666666666667";
        QTest::newRow("rounding carries") << 9.9999999999999999 << "."
                                          << "10";
        QTest::newRow("tiny, no exponent") << 0.000012 << "."
                                           << "0.000012";
        QTest::newRow("huge, no exponent") << 1.5e20 << "."
                                           << "150000000000000000000";
        QTest::newRow("zero") << 0.0 << "."
                              << "0";
        QTest::newRow("negative zero") << -0.0 << "."
                                       << "0";
    }

    void numberText()
    {
        QFETCH(double, value);
        QFETCH(QString, separator);
        QFETCH(QString, expected);
        QCOMPARE(shown(value, separator.toUtf8().constData()), expected);
    }

    // The spread against figures worked out by hand. At the equator one
    // minute of latitude is 1842.904 m and one of longitude 1855.325 m on
    // WGS 84 (a(1 - e^2) and a, times pi / 10800).
    void spread_data()
    {
        QTest::addColumn<Samples>("samples"); // NMEA latitude, longitude, altitude; times one second apart
        QTest::addColumn<QList<double>>(
            "expected"); // sdNorth, sdEast, sdUp, cep50, cep95, meanHorizontal (-1: none)

        const double north = 1 / 1842.904; // minutes of arc for one metre
        const double west = 1 / 1855.325;
        Samples ring;
        for (int i = 0; i < 20; ++i) // a circle of 1 m around the origin
            ring << QList<double>{std::sin(i * M_PI / 10) * north, std::cos(i * M_PI / 10) * west, 0};
        // Walked round in order, so neighbours are alike: the batch means
        // (pairs) lie on a circle of cos(9 degrees), ten evenly spaced; the
        // standard deviation of each coordinate is that times sqrt(5/9),
        // over sqrt(10), and both together sqrt(2) times that: cos(9)/3.
        QTest::newRow("circle of 1 m walked round: every radius 1 m")
            << ring
            << QList<double>{std::sqrt(10.0 / 19), std::sqrt(10.0 / 19), 0, 1, 1, std::cos(M_PI / 20) / 3};

        Samples drift;
        for (int i = 0; i < 20; ++i)
            drift << QList<double>{(i < 10 ? 1 : -1) * north, 0, i < 10 ? 1.0 : -1.0};
        // Ten batches of two: means +1 (five) and -1 (five); their standard
        // deviation sqrt(10/9) over sqrt(10) is 1/3 m, where sigma/sqrt(N)
        // would claim 0.23 m.
        QTest::newRow("slow drift: correlated fixes")
            << drift << QList<double>{std::sqrt(20.0 / 19), 0, std::sqrt(20.0 / 19), 1, 1, 1.0 / 3};

        Samples alternating;
        for (int i = 0; i < 20; ++i)
            alternating << QList<double>{(i % 2 ? 1 : -1) * north, 0, 0};
        QTest::newRow("alternating: batch means all zero")
            << alternating << QList<double>{std::sqrt(20.0 / 19), 0, 0, 1, 1, 0};

        QTest::newRow("too few fixes for batches")
            << Samples{{north, 0, 0}, {-north, 0, 0}} << QList<double>{std::sqrt(2.0), 0, 0, 1, 1, -1};
    }

    void spread()
    {
        QFETCH(Samples, samples);
        QFETCH(QList<double>, expected);
        auto ring = std::make_unique<SampleRing>();
        int second = 86390; // across midnight
        for (const QList<double> &s : samples) {
            FixDetails details;
            details.utcSecond = second++ % 86400;
            ring->storeSample(s[0], s[1], s[2], details);
        }
        const std::optional<average::Average> mean = average::averageSamples(*ring);
        const std::optional<average::Spread> spread = average::spreadOf(*ring, *mean);
        QVERIFY(spread);
        const QList<double> got{spread->sdNorth, spread->sdEast, spread->sdUp,
                                spread->cep50,   spread->cep95,  spread->meanHorizontal.value_or(-1)};
        for (int i = 0; i < got.size(); ++i)
            QVERIFY2(
                std::fabs(got[i] - expected[i]) < 1e-3,
                qPrintable(QStringLiteral("figure %1: %2, expected %3").arg(i).arg(got[i]).arg(expected[i])));
        QCOMPARE(spread->count, int(samples.size()));
        QCOMPARE(spread->spanSeconds.value_or(-1), int(samples.size()) - 1);
    }

    void positionForms_data()
    {
        QTest::addColumn<double>("degrees");
        QTest::addColumn<QStringList>("expected"); // decimal, degrees and minutes, degrees minutes seconds

        QTest::newRow("north") << 48.1173
                               << QStringList{"48.11730000", "48° 07.03800′ N", "48° 07′ 02.280″ N"};
        QTest::newRow("south") << -33.5
                               << QStringList{"-33.50000000", "33° 30.00000′ S", "33° 30′ 00.000″ S"};
        QTest::newRow("rounding carries into the degree")
            << 0.9999999999 << QStringList{"1.00000000", "1° 00.00000′ N", "1° 00′ 00.000″ N"};
    }

    void positionForms()
    {
        QFETCH(double, degrees);
        QFETCH(QStringList, expected);
        QCOMPARE((QStringList{average::decimalDegrees(degrees), average::degreesMinutes(degrees, 'N', 'S'),
                              average::degreesMinutesSeconds(degrees, 'N', 'S')}),
                 expected);
    }

    // Fixes decoded from sentences, as the window logs them, then written as
    // CSV rows and as the GPX waypoint.
    void exports_data()
    {
        QTest::addColumn<QByteArrayList>("sentences");
        QTest::addColumn<QStringList>("csv"); // the rows after the header
        QTest::addColumn<QString>("gpx"); // the waypoint's position and elevation

        QTest::newRow("10 Hz: times as sent")
            << QByteArrayList{"$GPGGA,120000.10,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
                              "$GPGGA,120000.20,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"}
            << QStringList{"12:00:00.10,48.11730000,11.51666667,545.4,1,8,0.9",
                           "12:00:00.20,48.11730000,11.51666667,545.4,1,8,0.9"}
            << R"(<wpt lat="48.11730000" lon="11.51666667"> <ele>545.4</ele>)";
        QTest::newRow("tiny values: no exponent")
            << QByteArrayList{"$GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,0.3,M,",
                              "$GPGGA,120001,4807.038,N,01131.000,E,1,08,0.9,-0.1,M,",
                              "$GPGGA,120002,4807.038,N,01131.000,E,1,08,0.00001,-0.00001,M,"}
            << QStringList{"12:00:00,48.11730000,11.51666667,0.3,1,8,0.9",
                           "12:00:01,48.11730000,11.51666667,-0.1,1,8,0.9",
                           "12:00:02,48.11730000,11.51666667,-0.00001,1,8,0.00001"}
            << R"(<wpt lat="48.11730000" lon="11.51666667"> <ele>0.067</ele>)";
        QTest::newRow("pole and 180th meridian: longitude -180")
            << QByteArrayList{"$GPGGA,120000,9000.0000,N,18000.0000,E,1,08,0.9,10,M,",
                              "$GPGGA,120001,9000.0000,N,18000.0000,W,1,08,0.9,10,M,"}
            << QStringList{"12:00:00,90.00000000,-180.00000000,10,1,8,0.9",
                           "12:00:01,90.00000000,-180.00000000,10,1,8,0.9"}
            << R"(<wpt lat="90.00000000" lon="-180.00000000"> <ele>10</ele>)";
        QTest::newRow("mean elevation of rounding noise is 0")
            << QByteArrayList{"$GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,0.3,M,",
                              "$GPGGA,120001,4807.038,N,01131.000,E,1,08,0.9,-0.1,M,",
                              "$GPGGA,120002,4807.038,N,01131.000,E,1,08,0.9,-0.2,M,"}
            << QStringList{"12:00:00,48.11730000,11.51666667,0.3,1,8,0.9",
                           "12:00:01,48.11730000,11.51666667,-0.1,1,8,0.9",
                           "12:00:02,48.11730000,11.51666667,-0.2,1,8,0.9"}
            << R"(<wpt lat="48.11730000" lon="11.51666667"> <ele>0</ele>)";
    }

    void exports()
    {
        QFETCH(QByteArrayList, sentences);
        QFETCH(QStringList, csv);
        QFETCH(QString, gpx);
        auto ring = std::make_unique<SampleRing>();
        for (const QByteArray &sentence : sentences) {
            const std::optional<nmea::GgaFix> fix
                = nmea::decodeGga({sentence.constData(), size_t(sentence.size())});
            QVERIFY2(fix, sentence.constData());
            ring->storeFix(*fix);
        }
        QStringList rows = QString::fromLatin1(average::fixesAsCsv(*ring)).split(QStringLiteral("\r\n"));
        QCOMPARE(rows.takeFirst(),
                 QStringLiteral("time_utc,latitude,longitude,elevation_m,fix_quality,satellites,hdop"));
        QCOMPARE(rows.takeLast(), QString()); // the last row ends with CR LF too
        QCOMPARE(rows, csv);

        const std::optional<average::Average> mean = average::averageSamples(*ring);
        const QString file
            = QString::fromUtf8(average::meanAsGpx(*mean, *average::spreadOf(*ring, *mean), {}));
        const qsizetype from = file.indexOf(QStringLiteral("<wpt")),
                        to = file.indexOf(QStringLiteral("</ele>")) + 6;
        QCOMPARE(file.mid(from, to - from).simplified(), gpx);
    }
};

QTEST_GUILESS_MAIN(TestAverage)
#include "tst_average.moc"
