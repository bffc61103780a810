// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clock/clockadjustment.h"
#include "clock/timestring.h"

#include <QTest>

using quorvel::clock::clockAdjustment;
using quorvel::clock::localTimeString;

namespace {

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
        QCOMPARE(QString::fromStdString(localTimeString({utcHour, utcMinute, 5}, offset)), expected);
    }

    void nearestDate()
    {
        QFETCH(QDateTime, now);
        QFETCH(QByteArray, zone);
        QFETCH(QTime, target);
        QFETCH(qint64, expectedMs);
        const QTimeZone pcZone(zone);
        QVERIFY2(pcZone.isValid(), zone.constData());
        QCOMPARE(qint64(clockAdjustment(now.toTimeZone(pcZone), target).count()), expectedMs);
    }
};

QTEST_GUILESS_MAIN(TestClockAdjustment)
#include "tst_clockadjustment.moc"
