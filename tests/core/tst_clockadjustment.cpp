// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clock/clockadjustment.h"

#include <QTest>

using quorvel::clock::clockAdjustment;

class TestClockAdjustment : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nearestDate_data()
    {
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QTime>("target");
        QTest::addColumn<qint64>("expectedMs");

        QTest::newRow("same day, ahead") << QTime(14, 30, 0) << QTime(14, 30, 5) << qint64(5000);
        QTest::newRow("same day, behind") << QTime(14, 30, 5, 500) << QTime(14, 30, 5) << qint64(-500);
        QTest::newRow("hours apart, same day")
            << QTime(8, 0, 0) << QTime(19, 0, 0) << qint64(11 * 3600 * 1000);
        QTest::newRow("clock before midnight, GPS after")
            << QTime(23, 59, 58) << QTime(0, 0, 1) << qint64(3000);
        QTest::newRow("clock after midnight, GPS before")
            << QTime(0, 0, 1) << QTime(23, 59, 58) << qint64(-3000);
    }

    void nearestDate()
    {
        QFETCH(QTime, now);
        QFETCH(QTime, target);
        QFETCH(qint64, expectedMs);
        const QDateTime at(QDate(2026, 12, 7), now, QTimeZone::utc());
        QCOMPARE(qint64(clockAdjustment(at, target).count()), expectedMs);
    }
};

QTEST_GUILESS_MAIN(TestClockAdjustment)
#include "tst_clockadjustment.moc"
