// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ring/samplering.h"

#include <QTest>

using quorvel::SampleRing;

class TestSampleRing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wrap_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("slot0"); // latitude in slot 0: the number of the sample there

        QTest::newRow("first sample") << 1 << 1 << 1 << 1.0;
        QTest::newRow("5000th fills the ring") << 5000 << 0 << 5000 << 1.0;
        QTest::newRow("5001st replaces the oldest") << 5001 << 1 << 5000 << 5001.0;
        QTest::newRow("twice round") << 10'003 << 3 << 5000 << 10'001.0;
    }

    void wrap()
    {
        QFETCH(int, stored);
        QFETCH(int, index);
        QFETCH(int, count);
        QFETCH(double, slot0);
        auto state = std::make_unique<SampleRing>();
        for (int i = 1; i <= stored; ++i)
            state->storeSample(i, -i, i / 10.0);
        QCOMPARE(state->SampleIndex, index);
        QCOMPARE(state->SampleCount, count);
        QCOMPARE(state->LatSamples[0], slot0);
        QCOMPARE(state->LonSamples[0], -slot0);
        QCOMPARE(state->ElevSamples[0], slot0 / 10);
        QCOMPARE(state->LatSamples[SampleRing::RingSize], 0.0); // the spare slot is never written
    }
};

QTEST_GUILESS_MAIN(TestSampleRing)
#include "tst_samplering.moc"
