// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "nmea/gga.h"
#include "nmea/lineassembly.h"
#include "nmea/sentencetime.h"

#include <QFile>
#include <QTest>

using namespace quorvel::nmea;

namespace {

// "$" + body + "*hh", computed here independently of the decoder.
QByteArray sentence(const QByteArray &body)
{
    char sum = 0;
    for (const char c : body)
        sum ^= c;
    return '$' + body + '*' + QByteArray::number(uchar(sum), 16).rightJustified(2, '0').toUpper();
}

QString describe(const std::optional<GgaFix> &fix)
{
    if (!fix)
        return QStringLiteral("no fix");
    QString time = QStringLiteral("no time");
    if (const std::optional<TimeOfDay> utc = fix->utc) {
        time = QTime(utc->hour, utc->minute, utc->second).toString(QStringLiteral("hh:mm:ss"));
        if (utc->fractionDigits > 0) // the fraction to the nanosecond, then the digits sent
            time += QStringLiteral(".%1/%2")
                        .arg(utc->nanosecond, 9, 10, QLatin1Char('0'))
                        .arg(utc->fractionDigits);
    }
    return QStringLiteral("%1 %2 %3 %4")
        .arg(fix->latitude, 0, 'g', 12)
        .arg(fix->longitude, 0, 'g', 12)
        .arg(fix->altitude, 0, 'g', 12)
        .arg(time);
}

QString describe(const std::optional<SentenceTime> &reading)
{
    if (!reading)
        return QStringLiteral("nothing");
    static const char *const Names[] = {"GGA", "RMC", "GNS", "ZDA"};
    const TimeOfDay &t = reading->time;
    QString text = QStringLiteral("%1 %2:%3:%4.%5/%6")
                       .arg(QLatin1String(Names[int(reading->sentence)]))
                       .arg(t.hour, 2, 10, QLatin1Char('0'))
                       .arg(t.minute, 2, 10, QLatin1Char('0'))
                       .arg(t.second, 2, 10, QLatin1Char('0'))
                       .arg(t.nanosecond, 9, 10, QLatin1Char('0'))
                       .arg(t.fractionDigits);
    if (const std::optional<Date> date = reading->date)
        text += QStringLiteral(" %1-%2-%3")
                    .arg(date->year)
                    .arg(date->month, 2, 10, QLatin1Char('0'))
                    .arg(date->day, 2, 10, QLatin1Char('0'));
    return text;
}

const QByteArray Munich = "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";

} // namespace

class TestGga : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected");

        const QString munich = QStringLiteral("4807.038 -1131 545.4 12:35:19");
        QTest::newRow("worked example, south and east")
            << QByteArray("$GPGGA,221530.00,3412.5000,S,15112.2500,E,1,07,1.2,48.6,M,21.3,M,,")
            << "-3412.5 -15112.25 48.6 22:15:30.000000000/2";
        QTest::newRow("with checksum") << sentence(Munich) << munich;
        QTest::newRow("checksum in lower case") << QByteArray("$" + Munich + "0008*4f") << munich;
        QTest::newRow("north and west are positive")
            << QByteArray("$GPGGA,123519,4807.038,N,01131.000,W,1,08,0.9,545.4,M,,")
            << "4807.038 1131 545.4 12:35:19";
        QTest::newRow("any talker, any 7th character")
            << QByteArray("XYZGGA;123519,4807.038,N,01131.000,E,1,08,0.9,545.4,") << munich;
        QTest::newRow("differential fix")
            << QByteArray("$GNGGA,123519,4807.038,N,01131.000,E,2,08,0.9,545.4,M,") << munich;
        QTest::newRow("empty quality passes")
            << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,,08,0.9,545.4,M,") << munich;
        QTest::newRow("empty satellites keep later fields in place")
            << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,1,,,545.4,M,") << munich;
        QTest::newRow("signed negative altitude")
            << QByteArray("$GPGGA,193221,1923.1,N,09907.2,W,1,08,0.9,-30.40,M,")
            << "1923.1 9907.2 -30.4 19:32:21";
        QTest::newRow("plus sign, zero padding")
            << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,+000545.4,M,") << munich;
        QTest::newRow("10 Hz: fraction of the second kept")
            << QByteArray("$GPGGA,143005.10,4807.038,N,01131.000,E,1,08,0.9,545.4,M,")
            << "4807.038 -1131 545.4 14:30:05.100000000/2";
        QTest::newRow("milliseconds")
            << QByteArray("$GPGGA,095257.809,4807.038,N,01131.000,E,1,08,0.9,545.4,M,")
            << "4807.038 -1131 545.4 09:52:57.809000000/3";
        QTest::newRow("fraction beyond the nanosecond")
            << QByteArray("$GPGGA,143005.1234567891,4807.038,N,01131.000,E,1,08,0.9,545.4,M,")
            << "4807.038 -1131 545.4 14:30:05.123456789/9";
        QTest::newRow("sentence behind binary bytes") << "\x80\xb5" + sentence(Munich) << munich;
        QTest::newRow("time out of range: fix kept, no time")
            << QByteArray("$GPGGA,246000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,")
            << "4807.038 -1131 545.4 no time";
        QTest::newRow("empty time: fix kept, no time")
            << QByteArray("$GPGGA,,4807.038,N,01131.000,E,1,08,0.9,545.4,M,")
            << "4807.038 -1131 545.4 no time";
        QTest::newRow("short time: fix kept, no time")
            << QByteArray("$GPGGA,1235,4807.038,N,01131.000,E,1,08,0.9,545.4,M,")
            << "4807.038 -1131 545.4 no time";

        const QString none = QStringLiteral("no fix");
        QTest::newRow("empty line") << QByteArray() << none;
        QTest::newRow("name alone") << QByteArray("$GPGGA,") << none;
        QTest::newRow("lower-case name")
            << QByteArray("$GPgga,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,") << none;
        QTest::newRow("other sentence")
            << sentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W") << none;
        QTest::newRow("no fix") << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,0,08,0.9,545.4,M,")
                                << none;
        QTest::newRow("estimated (dead reckoning)")
            << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,6,00,50.0,545.4,M,") << none;
        QTest::newRow("simulation") << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,8,08,0.9,545.4,M,")
                                    << none;
        QTest::newRow("no comma after altitude")
            << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4") << none;
        QTest::newRow("empty hemisphere")
            << QByteArray("$GPGGA,123519,4807.038,,01131.000,E,1,08,0.9,545.4,M,") << none;
        QTest::newRow("lower-case hemisphere")
            << QByteArray("$GPGGA,123519,4807.038,n,01131.000,E,1,08,0.9,545.4,M,") << none;
        QTest::newRow("empty position") << QByteArray("$GPGGA,123519,,,,,1,08,0.9,545.4,M,") << none;
        QTest::newRow("empty altitude")
            << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,,M,") << none;
        QTest::newRow("letter in latitude")
            << QByteArray("$GPGGA,123519,48O7.038,N,01131.000,E,1,08,0.9,545.4,M,") << none;
        QTest::newRow("latitude beyond 90 degrees")
            << QByteArray("$GPGGA,123519,9130.0000,N,01131.000,E,1,08,0.9,545.4,M,") << none;
        QTest::newRow("75 minutes") << QByteArray("$GPGGA,123519,4875.0000,N,01131.000,E,1,08,0.9,545.4,M,")
                                    << none;
        QTest::newRow("longitude beyond 180 degrees")
            << QByteArray("$GPGGA,123519,4807.038,N,18100.0000,E,1,08,0.9,545.4,M,") << none;
        QTest::newRow("just past the 180th meridian")
            << QByteArray("$GPGGA,123519,4807.038,N,18000.0001,W,1,08,0.9,545.4,M,") << none;
        QTest::newRow("sign in the latitude")
            << QByteArray("$GPGGA,123519,-4807.038,N,01131.000,E,1,08,0.9,545.4,M,") << none;
        QTest::newRow("exponent in altitude")
            << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,5.454e2,M,") << none;
        QTest::newRow("decimal comma is no number")
            << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.,M,") << none;
        QTest::newRow("number out of double range")
            << "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9," + QByteArray(400, '9') + ",M," << none;
        QByteArray corrupted = sentence(Munich);
        corrupted[20] = '8';
        QTest::newRow("checksum mismatch") << corrupted << none;
        QTest::newRow("checksum cut short") << sentence(Munich).chopped(1) << none;
        QTest::newRow("truncated and spliced into GLL")
            << QByteArray("$GPGGA,030130$GPGLL,3340.3458,N,11759.3185,W,030131.000,A,A*41") << none;
    }

    void decode()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        QCOMPARE(describe(decodeGga({line.constData(), size_t(line.size())})), expected);
    }

    // The time, and the date where one is sent, of the sentences that carry
    // them; real sentences unless said otherwise.
    void decodeTime_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected");
        const QString nothing = QStringLiteral("nothing");

        QTest::newRow("GGA with a fix") << sentence(Munich) << "GGA 12:35:19.000000000/0";
        QTest::newRow("GGA without a fix") << QByteArray("$GPGGA,191434.96,,,,,0,00,99.9,,M,,M,,") << nothing;
        QTest::newRow("RMC, status A, with the date")
            << QByteArray("$GPRMC,193221.00,A,2037.7279,N,08704.0848,W,00.1,201.8,231207,01,W,A*2D")
            << "RMC 19:32:21.000000000/2 2007-12-23";
        QTest::newRow("RMC, milliseconds, GN talker")
            << QByteArray("$GNRMC,135651.997,A,5543.0328,N,03724.7198,E,00.00,129.5,051209,,,A*79")
            << "RMC 13:56:51.997000000/3 2009-12-05";
        QTest::newRow("RMC of NMEA 2.0, no mode field")
            << QByteArray("$INRMC,194101,A,4426.1130,N,07140.5596,W,5.2,77.3,160906,15.8,W*60")
            << "RMC 19:41:01.000000000/0 2006-09-16";
        QTest::newRow("RMC with NMEA 4.1's navigation status")
            << QByteArray("$GARMC,043539.00,A,4333.190206,N,00127.618380,E,0.0,,040925,1.7,W,A,V*6D")
            << "RMC 04:35:39.000000000/2 2025-09-04";
        QTest::newRow("RMC, status V")
            << QByteArray("$GPRMC,135658.997,V,5543.0326,N,03724.7205,E,00.79,159.0,051209,,,N*73")
            << nothing;
        QTest::newRow("RMC, status A but dead reckoning (made up)")
            << sentence("GPRMC,120000.00,A,4807.038,N,01131.000,E,0.0,0.0,071226,,,E") << nothing;
        QTest::newRow("RMC, checksum wrong")
            << QByteArray("$GPRMC,193221.00,A,2037.7279,N,08704.0848,W,00.1,201.8,231207,01,W,A*2E")
            << nothing;
        QTest::newRow("RMC, 31 February (made up): the time alone")
            << sentence("GPRMC,120000.00,A,4807.038,N,01131.000,E,0.0,0.0,310226,,,A")
            << "RMC 12:00:00.000000000/2";
        QTest::newRow("RMC, year 99 is 1999, not 2099 (made up)")
            << sentence("GPRMC,000425.00,A,4807.038,N,01131.000,E,,,220899,,,A")
            << "RMC 00:04:25.000000000/2 1999-08-22";
        QTest::newRow("Garmin's proprietary PGRMC")
            << sentence("PGRMC,A,218.8,100,,,,,,A,3,1,2,4,30") << nothing;
        QTest::newRow("GNS, one system of five without a fix")
            << QByteArray("$GNGNS,043539.00,4333.190206,N,00127.618380,E,AAAAN,14,1.3,250.8,50.0,,,V*62")
            << "GNS 04:35:39.000000000/2";
        QTest::newRow("GNS, no system with a fix")
            << QByteArray("$GNGNS,191434.96,,,,,NNN,,,,,,*36") << nothing;
        QTest::newRow("ZDA") << QByteArray("$GPZDA,193223.00,23,12,2007,00,00*69")
                             << "ZDA 19:32:23.000000000/2 2007-12-23";
        QTest::newRow("ZDA without checksum, zone +00")
            << QByteArray("$GPZDA,222449,25,10,2010,+00,00") << "ZDA 22:24:49.000000000/0 2010-10-25";
        QTest::newRow("ZDA of a receiver whose week number rolled over (2019)")
            << QByteArray("$GPZDA,000427.00,22,08,1999,,*67") << "ZDA 00:04:27.000000000/2 1999-08-22";
        QTest::newRow("ZDA without a date (made up)")
            << sentence("GPZDA,120000.00,,,,,") << "ZDA 12:00:00.000000000/2";
        QTest::newRow("ZDA without a time (made up)") << sentence("GPZDA,,07,12,2026,,") << nothing;
        QTest::newRow("GSA carries no time") << QByteArray("$GPGSA,A,1,,,,,,,,,,,,,,,*1E") << nothing;
    }

    void decodeTime()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        QCOMPARE(describe(quorvel::nmea::decodeTime({line.constData(), size_t(line.size())})), expected);
    }

    // Real receiver logs: the samples taken must match an independent count of
    // the GGA sentences with a fix, a good (or no) checksum and full fields.
    void realLogs_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("samples");
        QTest::newRow("S/E, millisecond times") << "haicom-305N.log" << 68;
        QTest::newRow("all checksums wrong") << "firefly-II.log" << 0;
        QTest::newRow("binary frames before each $") << "quectel-l76k-dual.log" << 130;
        QTest::newRow("cold boot garbage") << "gp-320fw-2019-04-07-coldboot.log" << 2;
        QTest::newRow("GGA cut off into GLL") << "triton400.log" << 4;
        QTest::newRow("placeholder positions before the fix") << "mtk-3301.log" << 4;
        QTest::newRow("empty altitude field") << "saab-r4.log" << 0;
        QTest::newRow("GN and GP, long sentences") << "nmea-rtk.log" << 122;
        QTest::newRow("CR CR LF, GP and GA") << "telit-pls83-w.log" << 20;
        QTest::newRow("no checksums at all") << "hp58534a.log" << 2;
        QTest::newRow("negative altitudes") << "ac12.log" << 7;
        QTest::newRow("one estimated fix (quality 6) among real ones") << "garmin-10x.log" << 9;
        QTest::newRow("demo mode: simulation (quality 8)") << "garmin-geko201.log" << 0;
    }

    void realLogs()
    {
        QFETCH(QString, file);
        QFETCH(int, samples);
        QFile log(QStringLiteral(NMEA_CORPUS "/") + file);
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));

        int taken = 0;
        QString line;
        quorvel::nmea::assembleLines(line, log.readAll(), [&taken](const QString &complete) {
            const QByteArray latin1 = complete.toLatin1();
            if (!latin1.startsWith('#') && decodeGga({latin1.constData(), size_t(latin1.size())}))
                ++taken;
        });
        QCOMPARE(taken, samples);
    }
};

QTEST_GUILESS_MAIN(TestGga)
#include "tst_gga.moc"
