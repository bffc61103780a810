// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "average/average.h"
#include "average/numbertext.h"
#include "ring/samplering.h"

#include <QTest>

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
};

QTEST_GUILESS_MAIN(TestAverage)
#include "tst_average.moc"
