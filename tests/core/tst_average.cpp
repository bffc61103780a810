// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "average/average.h"
#include "average/export.h"
#include "average/numbertext.h"
#include "average/statistics.h"
#include "average/stoprule.h"
#include "files/pointfiles.h"
#include "grids/grids.h"
#include "nmea/gga.h"
#include "nmea/lineassembly.h"
#include "ring/samplering.h"

#include <QDir>
#include <QTest>
#include <QTranslator>

#include <clocale>
#include <limits>
#include <random>

using namespace quorvel;
using Samples = QList<QList<double>>; // {latitude, longitude, altitude} per sample

Q_DECLARE_METATYPE(Samples)

namespace {

QString shown(double value, const char *separator = ".")
{
    return QString::fromStdString(average::numberText(value, separator));
}

// The details of a fix at `second` of the UTC day (with a fraction, in two
// digits); none for a negative second.
FixDetails at(double second)
{
    FixDetails details;
    if (second >= 0) {
        const int whole = int(second);
        const int nanosecond = int(std::lround((second - whole) * 1e9));
        details.utc
            = nmea::TimeOfDay{whole / 3600, whole / 60 % 60, whole % 60, nanosecond, nanosecond ? 2 : 0};
    }
    return details;
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
        // The plural forms of the texts that count, as the program installs them.
        auto *english = new QTranslator(QCoreApplication::instance());
        QVERIFY(english->load(QStringLiteral(":/i18n/quorvel_en.qm")));
        QCoreApplication::installTranslator(english);
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
            "expected"); // sdNorth, sdEast, sdUp, cep50, cep95, 95 % radius of the mean (-1: too short)

        const double north = 1 / 1842.904; // minutes of arc for one metre
        const double west = 1 / 1855.325;
        Samples ring;
        for (int i = 0; i < 20; ++i) // a circle of 1 m around the origin
            ring << QList<double>{std::sin(i * M_PI / 10) * north, std::cos(i * M_PI / 10) * west, 0};
        // 20 s of fixes cannot tell how good their mean is, however they lie.
        QTest::newRow("circle of 1 m walked round: every radius 1 m")
            << ring << QList<double>{std::sqrt(10.0 / 19), std::sqrt(10.0 / 19), 0, 1, 1, -1};

        Samples drift;
        for (int i = 0; i < 20; ++i)
            drift << QList<double>{(i < 10 ? 1 : -1) * north, 0, i < 10 ? 1.0 : -1.0};
        // Where sigma/sqrt(N) would claim 0.23 m.
        QTest::newRow("slow drift: correlated fixes")
            << drift << QList<double>{std::sqrt(20.0 / 19), 0, std::sqrt(20.0 / 19), 1, 1, -1};

        Samples alternating;
        for (int i = 0; i < 20; ++i)
            alternating << QList<double>{(i % 2 ? 1 : -1) * north, 0, 0};
        QTest::newRow("alternating") << alternating << QList<double>{std::sqrt(20.0 / 19), 0, 0, 1, 1, -1};

        QTest::newRow("two fixes") << Samples{{north, 0, 0}, {-north, 0, 0}}
                                   << QList<double>{std::sqrt(2.0), 0, 0, 1, 1, -1};
    }

    void spread()
    {
        QFETCH(Samples, samples);
        QFETCH(QList<double>, expected);
        auto ring = std::make_unique<SampleRing>();
        int second = 86390; // across midnight
        for (const QList<double> &s : samples)
            ring->storeSample(s[0], s[1], s[2], at(second++ % 86400));
        const std::optional<average::Average> mean = average::averageSamples(*ring);
        const std::optional<average::Spread> spread = average::spreadOf(*ring, *mean);
        QVERIFY(spread);
        const QList<double> got{spread->sdNorth, spread->sdEast, spread->sdUp,
                                spread->cep50,   spread->cep95,  spread->mean.horizontal95.value_or(-1)};
        for (int i = 0; i < got.size(); ++i)
            QVERIFY2(
                std::fabs(got[i] - expected[i]) < 1e-3,
                qPrintable(QStringLiteral("figure %1: %2, expected %3").arg(i).arg(got[i]).arg(expected[i])));
        QCOMPARE(spread->count, int(samples.size()));
        QCOMPARE(spread->spanSeconds.value_or(-1), int(samples.size()) - 1);
    }

    // The fixes' times as the uncertainty of the mean and the span take them.
    void fixTimes_data()
    {
        QTest::addColumn<QList<double>>("utc"); // second of the day of each fix; -1 none
        QTest::addColumn<QList<int>>("restarts"); // fixes that came first after Start Log again
        QTest::addColumn<QList<double>>("expected"); // seconds from the first; empty: none
        QTest::addColumn<int>("span"); // logging time; -1: none

        QTest::newRow("across midnight")
            << QList<double>{86398, 86399, 0, 1} << QList<int>{} << QList<double>{0, 1, 2, 3} << 3;
        QTest::newRow("five a second")
            << QList<double>{7, 7, 7, 8, 8} << QList<int>{} << QList<double>{0, 0, 0, 1, 1} << 1;
        QTest::newRow("four a second, with the fraction")
            << QList<double>{7, 7.25, 7.5, 7.75, 8, 8.25} << QList<int>{}
            << QList<double>{0, 0.25, 0.5, 0.75, 1, 1.25} << 1;
        // No fix for an hour while logging: the hour was logged.
        QTest::newRow("a gap") << QList<double>{100, 101, 3701} << QList<int>{} << QList<double>{0, 1, 3601}
                               << 3601;
        // Stop Log, and Start Log an hour later: the hour was not.
        QTest::newRow("a pause") << QList<double>{100, 101, 3701, 3702} << QList<int>{2}
                                 << QList<double>{0, 1, 3601, 3602} << 2;
        // A receiver's clock stepping back ten seconds (humminbird-M37.log)
        // is not a day's logging.
        QTest::newRow("a step back") << QList<double>{194120, 194124, 194114, 194118} << QList<int>{}
                                     << QList<double>{0, 4, 4, 8} << 8;
        QTest::newRow("a fix without time")
            << QList<double>{100, -1, 102} << QList<int>{} << QList<double>{} << 2;
        QTest::newRow("a fix without time, and a pause")
            << QList<double>{100, -1, 101, 3701, 3703} << QList<int>{3} << QList<double>{} << 3;
    }

    void fixTimes()
    {
        QFETCH(QList<double>, utc);
        QFETCH(QList<int>, restarts);
        QFETCH(QList<double>, expected);
        QFETCH(int, span);
        auto ring = std::make_unique<SampleRing>();
        for (int i = 0; i < utc.size(); ++i) {
            if (restarts.contains(i))
                ring->startLogging();
            ring->storeSample(4807 + i * 0.001, 1131, 500, at(utc[i]));
        }
        const std::optional<std::vector<double>> seconds = average::fixSeconds(*ring);
        QCOMPARE(seconds ? QList<double>(seconds->begin(), seconds->end()) : QList<double>{}, expected);
        QCOMPARE(average::spreadOf(*ring, *average::averageSamples(*ring))->spanSeconds.value_or(-1), span);
    }

    // Simulated sessions, one fix a second: errors of 2 m north, east and up,
    // first-order autoregressive with correlation times of 30 s to 5 min,
    // sessions of 1 to 60 minutes; the same in blocks of 5 to 20 minutes
    // logged hours apart; and errors of two time scales (half the variance
    // over 10 s, half over the correlation time), a model the method does
    // not assume. Prints the whole table (coverage %, share of sessions
    // given a figure, median radius / true 95 % radius) and holds the
    // method to its goals:
    // - coverage 93-97 % pooled over the first-order cells and blocks;
    // - in every cell where at least 10 sessions get a figure, coverage not
    //   significantly below 90 % (one-sided binomial test at 1 %), and a
    //   median radius at most twice the true one;
    // - a figure for most 30-minute sessions with a two-minute correlation,
    //   and none for a one-minute session.
    // Two time scales with the slower one at 5 min fall short (see the
    // README): they are printed, not held to the goals.
    void meanUncertaintyHolds()
    {
        constexpr int Sessions = 250, Pause = 7200, Few = 10;
        struct Part
        {
            double variance, tau; // m^2 per axis, s
        };
        struct Case
        {
            const char *model;
            int tau;
            std::vector<Part> parts;
            std::vector<int> blocks; // minutes each, Pause apart
        };
        std::vector<Case> cases;
        for (const int tau : {30, 60, 120, 300}) {
            for (const int span : {1, 5, 10, 20, 30, 60})
                cases.push_back({"first-order", tau, {{4, double(tau)}}, {span}});
        }
        for (const int tau : {30, 60, 120, 300}) {
            for (const std::vector<int> &blocks : std::vector<std::vector<int>>{{10, 10},
                                                                                {5, 5, 5, 5},
                                                                                {20, 20},
                                                                                {5, 20},
                                                                                {10, 10, 10},
                                                                                {20, 20, 20}})
                cases.push_back({"blocks", tau, {{4, double(tau)}}, blocks});
        }
        for (const int tau : {60, 120, 300}) {
            for (const int span : {10, 20, 30, 60})
                cases.push_back({"two scales", tau, {{2, 10}, {2, double(tau)}}, {span}});
        }

        // The chance of at least `misses` misses in `n` if 10 % miss.
        const auto binomialTail = [](int misses, int n) {
            double tail = 0;
            for (int k = misses; k <= n; ++k)
                tail += std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0)
                                 + k * std::log(0.1) + (n - k) * std::log(0.9));
            return tail;
        };
        std::mt19937_64 random(20260117);
        std::normal_distribution<double> normal(0, 1);
        int givenAll[2] = {0, 0}, heldAll[2] = {0, 0};
        qInfo("model       tau   blocks (min) | horizontal: held given radius/true | vertical: held given "
              "radius/true");
        for (const Case &c : cases) {
            std::vector<double> seconds;
            std::vector<int> blockStarts;
            std::vector<int> lengths;
            double clock = 0;
            for (const int minutes : c.blocks) {
                if (!seconds.empty())
                    blockStarts.push_back(int(seconds.size()));
                lengths.push_back(minutes * 60);
                for (int i = 0; i < minutes * 60; ++i)
                    seconds.push_back(clock + i);
                clock += minutes * 60 + Pause;
            }
            const int n = int(seconds.size());
            // The variance of the mean: blocks hours apart are independent;
            // within a block, that of the mean of first-order errors.
            double variance = 0;
            for (const int length : lengths) {
                for (const Part &part : c.parts) {
                    const double phi = std::exp(-1 / part.tau);
                    const double pairs
                        = phi * (length * (1 - phi) - (1 - std::pow(phi, length))) / ((1 - phi) * (1 - phi));
                    variance += part.variance * (length + 2 * pairs) / (double(n) * n);
                }
            }
            const double true95[2]
                = {std::sqrt(-2 * std::log(0.05) * variance), 1.959964 * std::sqrt(variance)};
            std::vector<average::LocalPoint> points(static_cast<std::size_t>(n));
            int given[2] = {0, 0}, held[2] = {0, 0};
            std::vector<double> ratios[2];
            for (int k = 0; k < Sessions; ++k) {
                std::fill(points.begin(), points.end(), average::LocalPoint{});
                for (const Part &part : c.parts) {
                    const double phi = std::exp(-1 / part.tau), innovation = std::sqrt(1 - phi * phi);
                    const double sd = std::sqrt(part.variance);
                    average::LocalPoint error;
                    for (int i = 0, block = 0; i < n; ++i) {
                        // Each block starts afresh: hours apart, the errors
                        // have forgotten the block before.
                        const bool fresh = i == 0
                            || (block < int(blockStarts.size()) && i == blockStarts[std::size_t(block)]);
                        block += fresh && i > 0;
                        const double keep = fresh ? 0 : phi, add = fresh ? 1 : innovation;
                        error = {keep * error.north + add * normal(random),
                                 keep * error.east + add * normal(random),
                                 keep * error.up + add * normal(random)};
                        average::LocalPoint &p = points[std::size_t(i)];
                        p = {p.north + sd * error.north, p.east + sd * error.east, p.up + sd * error.up};
                    }
                }
                // The points as offsets from their mean, which is off the true point by:
                average::LocalPoint off;
                for (const average::LocalPoint &p : points)
                    off = {off.north + p.north / n, off.east + p.east / n, off.up + p.up / n};
                for (average::LocalPoint &p : points)
                    p = {p.north - off.north, p.east - off.east, p.up - off.up};
                const average::MeanUncertainty u = average::meanUncertainty(seconds, points, blockStarts);
                const std::optional<double> radius[2] = {u.horizontal95, u.vertical95};
                const double miss[2] = {std::hypot(off.north, off.east), std::fabs(off.up)};
                for (int h = 0; h < 2; ++h) {
                    if (!radius[h])
                        continue;
                    ++given[h];
                    held[h] += miss[h] <= *radius[h];
                    ratios[h].push_back(*radius[h] / true95[h]);
                }
            }
            double median[2] = {qQNaN(), qQNaN()};
            for (int h = 0; h < 2; ++h) {
                std::sort(ratios[h].begin(), ratios[h].end());
                if (!ratios[h].empty())
                    median[h] = ratios[h][ratios[h].size() / 2];
            }
            const auto percent = [](int part, int whole) { return whole ? 100.0 * part / whole : qQNaN(); };
            QStringList blocks;
            for (const int minutes : c.blocks)
                blocks << QString::number(minutes);
            qInfo("%-11s %3d s %-12s | %5.1f %% %5.1f %% %5.2f | %5.1f %% %5.1f %% %5.2f", c.model, c.tau,
                  qPrintable(blocks.join(QLatin1Char('+'))), percent(held[0], given[0]),
                  percent(given[0], Sessions), median[0], percent(held[1], given[1]),
                  percent(given[1], Sessions), median[1]);
            const bool twoScales = c.parts.size() > 1;
            const QString cell
                = QStringLiteral("%1, %2 s, %3 min").arg(c.model).arg(c.tau).arg(blocks.join('+'));
            for (int h = 0; h < 2; ++h) {
                if (c.blocks == std::vector<int>{1})
                    QCOMPARE(given[h], 0);
                if (twoScales && c.tau > 120)
                    continue;
                if (!twoScales) {
                    givenAll[h] += given[h];
                    heldAll[h] += held[h];
                }
                if (given[h] >= Few) {
                    QVERIFY2(binomialTail(given[h] - held[h], given[h]) >= 0.01, qPrintable(cell));
                    QVERIFY2(median[h] <= 2, qPrintable(cell));
                }
                if (!twoScales && c.tau == 120 && c.blocks == std::vector<int>{30})
                    QVERIFY2(given[h] > Sessions / 2, qPrintable(cell));
            }
        }
        for (int h = 0; h < 2; ++h) {
            const double pooled = 100.0 * heldAll[h] / givenAll[h];
            qInfo("%s: held in %.1f %% of the %d first-order sessions (blocks too) with a figure",
                  h ? "vertical" : "horizontal", pooled, givenAll[h]);
            QVERIFY(pooled >= 93 && pooled <= 97);
        }
    }

    // The receiver logs, 2 s to 11 min long: each half of a log, as a
    // session, gives no figure or one that holds the mean of the whole log.
    void realLogs()
    {
        const QStringList logs = QDir(QStringLiteral(NMEA_CORPUS)).entryList({QStringLiteral("*.log")});
        QVERIFY(!logs.isEmpty());
        for (const QString &name : logs) {
            QFile log(QStringLiteral(NMEA_CORPUS "/") + name);
            QVERIFY(log.open(QIODevice::ReadOnly));
            std::vector<nmea::GgaFix> fixes;
            QString line;
            nmea::assembleLines(line, log.readAll(), [&fixes](const QString &complete) {
                const QByteArray latin1 = complete.toLatin1();
                if (const auto fix = nmea::decodeGga({latin1.constData(), size_t(latin1.size())}))
                    fixes.push_back(*fix);
            });
            const auto meanOf = [&fixes](std::size_t from, std::size_t to) {
                auto ring = std::make_unique<SampleRing>();
                for (std::size_t i = from; i < to; ++i)
                    ring->storeFix(fixes[i]);
                const average::Average mean = *average::averageSamples(*ring);
                return std::pair{mean, *average::spreadOf(*ring, mean)};
            };
            if (fixes.size() < 2)
                continue;
            const average::Average whole = meanOf(0, fixes.size()).first;
            for (const auto &[from, to] :
                 {std::pair{std::size_t(0), fixes.size() / 2}, {fixes.size() / 2, fixes.size()}}) {
                const auto [mean, spread] = meanOf(from, to);
                const grids::Comparison seen
                    = grids::compareWith({average::latitudeDegrees(mean), average::longitudeDegrees(mean)},
                                         {average::latitudeDegrees(whole), average::longitudeDegrees(whole)},
                                         spread.mean.horizontal95);
                const double up = std::fabs(whole.mean.elevation - mean.mean.elevation);
                qInfo("%-24s fixes %3zu-%3zu over %3d s: off by %5.2f m, up %5.2f m; 95 %%: %s, %s",
                      qPrintable(name), from, to, spread.spanSeconds.value_or(-1), seen.distance, up,
                      spread.mean.horizontal95 ? qPrintable(QString::number(*spread.mean.horizontal95))
                                               : "too short",
                      spread.mean.vertical95 ? qPrintable(QString::number(*spread.mean.vertical95))
                                             : "too short");
                QVERIFY(seen.withinRadius.value_or(true));
                QVERIFY(up <= spread.mean.vertical95.value_or(up));
            }
        }
    }

    void stopRule_data()
    {
        QTest::addColumn<int>("kind"); // StopRule::Kind
        QTest::addColumn<double>("target");
        QTest::addColumn<int>("fixes"); // one a second, scattered by some decimetres
        QTest::addColumn<int>("elapsed");
        QTest::addColumn<bool>("met");
        QTest::addColumn<QString>("text"); // how the progress text starts
        QTest::addColumn<int>("pauseAfter"); // fixes before a two-hour pause, 0 none

        using Kind = average::StopRule::Kind;
        QTest::newRow("fixes, not yet")
            << int(Kind::Fixes) << 300.0 << 120 << 0 << false << "120 of 300 fixes" << 0;
        QTest::newRow("fixes, just met")
            << int(Kind::Fixes) << 120.0 << 120 << 0 << true << "120 of 120 fixes" << 0;
        QTest::newRow("time, not yet")
            << int(Kind::Time) << 600.0 << 0 << 125 << false << "2 min 05 s of 10 min 00 s" << 0;
        QTest::newRow("time, just met")
            << int(Kind::Time) << 600.0 << 0 << 600 << true << "10 min 00 s of 10 min 00 s" << 0;
        const QString tooShort = QStringLiteral("too short to tell how good the mean is yet");
        QTest::newRow("uncertainty, no fixes")
            << int(Kind::Uncertainty) << 0.5 << 0 << 0 << false << tooShort << 0;
        QTest::newRow("uncertainty, a minute is too short")
            << int(Kind::Uncertainty) << 0.5 << 60 << 60 << false << tooShort << 0;
        QTest::newRow("uncertainty, met")
            << int(Kind::Uncertainty) << 0.5 << 1200 << 1200 << true << "now \u00b1" << 0;
        QTest::newRow("uncertainty, not yet")
            << int(Kind::Uncertainty) << 0.001 << 1200 << 1200 << false << "now \u00b1" << 0;
        // Ten minutes, Stop Log, and ten more two hours later, half a metre
        // further north: a session of two stretches, not of two hours.
        QTest::newRow("uncertainty, logged in two stretches")
            << int(Kind::Uncertainty) << 10.0 << 1200 << 1200 << true << "now \u00b1" << 600;
    }

    void stopRule()
    {
        QFETCH(int, kind);
        QFETCH(double, target);
        QFETCH(int, fixes);
        QFETCH(int, elapsed);
        QFETCH(bool, met);
        QFETCH(QString, text);
        QFETCH(int, pauseAfter);
        auto ring = std::make_unique<SampleRing>();
        std::mt19937 random(1);
        std::normal_distribution<double> minutes(0, 0.0001);
        for (int i = 0; i < fixes; ++i) {
            const bool after = pauseAfter && i >= pauseAfter;
            if (pauseAfter && i == pauseAfter)
                ring->startLogging();
            ring->storeSample(4807 + minutes(random) + (after ? 0.00027 : 0), 1131 + minutes(random),
                              500 + 1000 * minutes(random), at(3600 + i + (after ? 7200 : 0)));
        }
        const average::StopProgress progress
            = average::stopProgress({average::StopRule::Kind(kind), target}, *ring, elapsed);
        QVERIFY2(progress.text.startsWith(text), qPrintable(progress.text));
        QCOMPARE(progress.met, met);
    }

    // The rule as the settings keep it, read back and written again, and
    // as the menu and the status line name it.
    void stopRuleSetting_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("written"); // empty: refused
        QTest::addColumn<QString>("description");

        QTest::newRow("fixes") << "fixes 600"
                               << "fixes 600"
                               << "after 600 fixes";
        QTest::newRow("one fix") << "fixes 1"
                                 << "fixes 1"
                                 << "after 1 fix";
        QTest::newRow("time in seconds") << "time 900"
                                         << "time 900"
                                         << "after 15 min 00 s";
        QTest::newRow("mean to the centimetre") << " mean  0.504 "
                                                << "mean 0.50"
                                                << "when the mean is known to \u00b10.50 m (95 %)";
        QTest::newRow("no fixes") << "fixes 0"
                                  << ""
                                  << "";
        QTest::newRow("more fixes than the ring holds") << "fixes 5001"
                                                        << ""
                                                        << "";
        QTest::newRow("part of a fix") << "fixes 2.5"
                                       << ""
                                       << "";
        QTest::newRow("below a centimetre") << "mean 0.004"
                                            << ""
                                            << "";
        QTest::newRow("negative") << "time -60"
                                  << ""
                                  << "";
        QTest::newRow("not a number") << "mean x"
                                      << ""
                                      << "";
        QTest::newRow("no such rule") << "hours 2"
                                      << ""
                                      << "";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
    }

    void stopRuleSetting()
    {
        QFETCH(QString, setting);
        QFETCH(QString, written);
        QFETCH(QString, description);
        const std::optional<average::StopRule> rule = average::parseStopRule(setting);
        QCOMPARE(rule.has_value(), !written.isEmpty());
        if (!rule)
            return;
        QCOMPARE(average::stopRuleSetting(*rule), written);
        QCOMPARE(average::stopRuleDescription(*rule), description);
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
        QTest::addColumn<QString>("gpx"); // the waypoint's position and elevation, in the file as written

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
        const QString file = QString::fromUtf8(files::pointFile(
            files::PointFormat::Gpx, files::meanPoint(*mean, *average::spreadOf(*ring, *mean), {}, {}), {}));
        const qsizetype from = file.indexOf(QStringLiteral("<wpt")),
                        to = file.indexOf(QStringLiteral("</ele>")) + 6;
        QCOMPARE(file.mid(from, to - from).simplified(), gpx);
    }
};

QTEST_GUILESS_MAIN(TestAverage)
#include "tst_average.moc"
