// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clock/clockadjustment.h"

#include <QTest>

using namespace quorvel;

namespace {

clock::UtcTime utc(const QDateTime &time)
{
    return clock::UtcTime(std::chrono::milliseconds(time.toMSecsSinceEpoch()));
}

QDateTime utcAt(int year, int month, int day, QTime time)
{
    return QDateTime(QDate(year, month, day), time, QTimeZone::utc());
}

} // namespace

class TestClockAdjustment : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nearestDate_data()
    {
        QTest::addColumn<QDateTime>("now"); // UTC
        QTest::addColumn<QByteArray>("zone"); // the PC's
        QTest::addColumn<QTime>("target");
        QTest::addColumn<qint64>("expectedMs");

        const QByteArray Utc("UTC");
        QTest::newRow("same day, ahead")
            << utcAt(2026, 12, 7, QTime(14, 30, 0)) << Utc << QTime(14, 30, 5) << qint64(5000);
        QTest::newRow("same day, behind")
            << utcAt(2026, 12, 7, QTime(14, 30, 5, 500)) << Utc << QTime(14, 30, 5) << qint64(-500);
        QTest::newRow("hours apart, same day")
            << utcAt(2026, 12, 7, QTime(8, 0, 0)) << Utc << QTime(19, 0, 0) << qint64(11 * 3600 * 1000);
        QTest::newRow("clock before midnight, GPS after")
            << utcAt(2026, 12, 7, QTime(23, 59, 58)) << Utc << QTime(0, 0, 1) << qint64(3000);
        QTest::newRow("clock after midnight, GPS before")
            << utcAt(2026, 12, 7, QTime(0, 0, 1)) << Utc << QTime(23, 59, 58) << qint64(-3000);
        // When summer time ends the clock shows 02:00 to 03:00 twice. The
        // time of day is set in the one the PC is in, not an hour away.
        QTest::newRow("repeated hour, the first 02:30 (CEST)")
            << utcAt(2026, 10, 25, QTime(0, 30, 0)) << QByteArray("Europe/Berlin") << QTime(2, 30, 5)
            << qint64(5000);
        QTest::newRow("repeated hour, the second 02:30 (CET)")
            << utcAt(2026, 10, 25, QTime(1, 30, 0)) << QByteArray("Europe/Berlin") << QTime(2, 30, 5)
            << qint64(5000);
    }

    void nearestDate()
    {
        QFETCH(QDateTime, now);
        QFETCH(QByteArray, zone);
        QFETCH(QTime, target);
        QFETCH(qint64, expectedMs);
        const QTimeZone pcZone(zone);
        QVERIFY2(pcZone.isValid(), zone.constData());
        // The target as GPS time with the PC zone's offset, and no date.
        clock::MoveRequest sync;
        sync.epoch = utc(now);
        sync.zoneOffsetSeconds = clock::zoneOffsetSeconds(pcZone, sync.epoch);
        sync.offsetMinutes = sync.zoneOffsetSeconds / 60;
        const QTime gps = target.addSecs(-sync.zoneOffsetSeconds);
        sync.gpsTime = {gps.hour(), gps.minute(), gps.second()};
        QCOMPARE(qint64(clock::planClockMove(sync).move.count()), expectedMs * 1000);
    }

    // A sentence timed at `epoch` (the PC's UTC when its burst began) moves
    // the clock by `moveUs`, and the status line says `status`.
    void move_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QDateTime>("epoch");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("offset"); // minutes
        QTest::addColumn<int>("zone"); // seconds
        QTest::addColumn<qint64>("moveUs");
        QTest::addColumn<QString>("status");

        const QByteArray munichTail = ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
        QTest::newRow("India, 150 ms receiver: the PC's UTC becomes GPS UTC")
            << "$GPGGA,090005.00" + munichTail << utcAt(2026, 12, 7, QTime(9, 0, 4, 338)) << 150 << 330
            << 5 * 3600 + 1800 << qint64(812'000)
            << "Clock set to 14:30:05.000 (UTC+5:30), moved +0.812 s; receiver delay 150 ms.";
        QTest::newRow("10 Hz: the fraction of the second counts")
            << "$GPGGA,120000.20" + munichTail << utcAt(2026, 12, 7, QTime(12, 0, 0, 150)) << 0 << 0 << 0
            << qint64(50'000) << "Clock set to 12:00:00.200 (UTC+0), moved +0.050 s; receiver delay 0 ms.";
        QTest::newRow("offset other than the zone: the local time becomes GPS time plus the offset")
            << QByteArray("$GNGNS,043539.00,4333.190206,N,00127.618380,E,AAAAN,14,1.3,250.8,50.0,,,V*62")
            << utcAt(2026, 12, 7, QTime(4, 35, 39, 250)) << 0 << 120 << 0 << qint64(7'199'750'000)
            << "Clock set to 06:35:39.000 (UTC+2), moved +7199.750 s; receiver delay 0 ms.\n"
               "The PC's time zone is UTC+0.";
        QTest::newRow("ZDA's date: a PC three days behind")
            << QByteArray("$GNZDA,071551.000,06,08,2026,00,00*47") << utcAt(2026, 8, 3, QTime(7, 15, 51)) << 0
            << 0 << 0 << qint64(3 * 86'400'000'000LL)
            << "Clock set to 2026-08-06 07:15:51.000 (UTC+0), moved +259200.000 s; receiver delay 0 ms.";
        QTest::newRow("RMC's date, the offset carrying it past midnight")
            << QByteArray("$GPRMC,221530.00,A,3412.5000,S,15112.2500,E,0.0,0.0,071226,,,A")
            << utcAt(2026, 12, 7, QTime(22, 15, 31)) << 0 << 600 << 36000 << qint64(-1'000'000)
            << "Clock set to 2026-12-08 08:15:30.000 (UTC+10), moved -1.000 s; receiver delay 0 ms.";
        QTest::newRow("a date from before the program: the time of day alone")
            << QByteArray("$GPZDA,000427.00,22,08,1999,,*67") << utcAt(2026, 12, 7, QTime(0, 4, 26, 500)) << 0
            << 0 << 0 << qint64(500'000)
            << "Clock set to 00:04:27.000 (UTC+0), moved +0.500 s; receiver delay 0 ms.\n"
               "The receiver's date, 1999-08-22, is older than this program, so only the time of day was "
               "set.";
    }

    void move()
    {
        QFETCH(QByteArray, line);
        QFETCH(QDateTime, epoch);
        QFETCH(int, delayMs);
        QFETCH(int, offset);
        QFETCH(int, zone);
        QFETCH(qint64, moveUs);
        QFETCH(QString, status);
        const std::optional<nmea::SentenceTime> reading
            = nmea::decodeTime({line.constData(), size_t(line.size())});
        QVERIFY(reading);
        const clock::MoveRequest sync{
            reading->time, reading->date,         utc(epoch), std::chrono::milliseconds(delayMs), offset,
            zone,          nmea::Date{2026, 1, 1}};
        const clock::ClockMove move = clock::planClockMove(sync);
        QCOMPARE(qint64(move.move.count()), moveUs);
        QCOMPARE(clock::clockSetStatus(sync, move), status);
    }

    void localTime_data()
    {
        QTest::addColumn<int>("utcHour");
        QTest::addColumn<int>("utcMinute");
        QTest::addColumn<int>("offset"); // minutes
        QTest::addColumn<QString>("expected");
        QTest::newRow("14 + 10 wraps to 00") << 14 << 30 << 600 << "00:30:05";
        QTest::newRow("3 - 5 wraps back to 22") << 3 << 30 << -300 << "22:30:05";
        QTest::newRow("23 + 0 stays") << 23 << 30 << 0 << "23:30:05";
        QTest::newRow("offset beyond a day, behind") << 5 << 30 << -30 * 60 << "23:30:05";
        QTest::newRow("India, +5:30") << 9 << 0 << 330 << "14:30:05";
        QTest::newRow("Nepal +5:45 across midnight") << 18 << 45 << 345 << "00:30:05";
        QTest::newRow("Newfoundland -3:30 back across midnight") << 0 << 10 << -210 << "20:40:05";
        QTest::newRow("Chatham +12:45") << 11 << 15 << 765 << "00:00:05";
        QTest::newRow("Kiribati +14") << 23 << 59 << 840 << "13:59:05";
    }

    void localTime()
    {
        QFETCH(int, utcHour);
        QFETCH(int, utcMinute);
        QFETCH(int, offset);
        QFETCH(QString, expected);
        clock::MoveRequest sync;
        sync.gpsTime = {utcHour, utcMinute, 5};
        sync.offsetMinutes = offset;
        const QString status = clock::clockSetStatus(sync, clock::planClockMove(sync));
        QVERIFY2(status.startsWith("Clock set to " + expected + ".000 "), qPrintable(status));
    }
};

QTEST_GUILESS_MAIN(TestClockAdjustment)
#include "tst_clockadjustment.moc"
