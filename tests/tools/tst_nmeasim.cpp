// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "nmeasim/receiver.h"

#include <QTest>

class TestNmeaSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void angle_data()
    {
        QTest::addColumn<double>("degrees");
        QTest::addColumn<int>("degreeDigits");
        QTest::addColumn<QString>("expected");
        QTest::newRow("north") << 48 + 7.038 / 60 << 2 << "4807.0380,N";
        QTest::newRow("west, three degree digits") << -(11 + 31.0 / 60) << 3 << "01131.0000,W";
        QTest::newRow("59.99996 minutes are the next degree, not 60 minutes")
            << 48 + 59.99996 / 60 << 2 << "4900.0000,N";
    }

    void angle()
    {
        QFETCH(double, degrees);
        QFETCH(int, degreeDigits);
        QFETCH(QString, expected);
        const char positive = degreeDigits == 2 ? 'N' : 'E';
        const char negative = degreeDigits == 2 ? 'S' : 'W';
        QCOMPARE(QString::fromStdString(nmeasim::nmeaAngle(degrees, degreeDigits, positive, negative)),
                 expected);
    }
};

QTEST_GUILESS_MAIN(TestNmeaSim)
#include "tst_nmeasim.moc"
