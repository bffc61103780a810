// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clock/clocksync.h"
#include "clock/systemclock.h"

#include <QSignalSpy>
#include <QTest>

using namespace quorvel;

namespace {

// A clock that records what it is asked and answers only when told.
class HeldClock final : public clock::SystemClock
{
public:
    void setTimeOfDay(const QString &timeString) override { asked << timeString; }
    void setTime(std::chrono::microseconds) override { }
    void setNtp(bool) override { }
    void checkSynchronized() override { }
    QStringList asked;
};

nmea::TimeOfDay at(int hour, int minute, int second)
{
    return nmea::TimeOfDay{hour, minute, second};
}

} // namespace

class TestClockSync : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // One request moves the clock once: the first fix while it waits, and
    // no other until the system has answered.
    void oneRequestOneSetting_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<bool>("pending");
        QTest::addColumn<bool>("busy");

        QTest::newRow("no request, no setting") << QStringList{"fix"} << QStringList{} << false << false;
        QTest::newRow("the first fix completes it")
            << QStringList{"request", "fix", "fix"} << QStringList{"14:30:05"} << false << true;
        QTest::newRow("no second request while busy")
            << QStringList{"request", "fix", "request", "fix"} << QStringList{"14:30:05"} << false << true;
        QTest::newRow("a new request once answered")
            << QStringList{"request", "fix", "answer", "request", "fix"}
            << QStringList{"14:30:05", "14:30:05"} << false << true;
        QTest::newRow("cancelled, the fix is not taken")
            << QStringList{"request", "cancel", "fix"} << QStringList{} << false << false;
        QTest::newRow("timed out, the fix is not taken")
            << QStringList{"request", "time passes", "fix"} << QStringList{} << false << false;
        QTest::newRow("a request waits") << QStringList{"request"} << QStringList{} << true << false;
    }

    void oneRequestOneSetting()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, asked);
        QFETCH(bool, pending);
        QFETCH(bool, busy);
        HeldClock clock;
        bool syncPending = false;
        clock::ClockSync sync(clock, syncPending);
        QSignalSpy timedOut(&sync, &clock::ClockSync::timedOut);
        for (const QString &step : steps) {
            if (step == "request") {
                sync.request();
            } else if (step == "cancel") {
                sync.cancel();
            } else if (step == "fix") {
                if (sync.takeFix(at(14, 30, 5), 0))
                    sync.setClock();
            } else if (step == "answer") {
                Q_EMIT clock.timeSet(0);
            } else if (step == "time passes") {
                sync.setTimeout(std::chrono::milliseconds(1));
                QVERIFY(timedOut.wait(1000));
            } else {
                QFAIL(qPrintable(step));
            }
        }
        QCOMPARE(clock.asked, asked);
        QCOMPARE(syncPending, pending);
        QCOMPARE(sync.busy(), busy);
    }

    // The answer tells what was set with which offset, how far the clock
    // moved, and the PC's own zone where it differs (TZ=UTC here); a
    // refusal passes on the system's reason.
    void answers_data()
    {
        QTest::addColumn<int>("offset"); // minutes
        QTest::addColumn<qint64>("movedMs"); // -1: refused
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("refusal");

        QTest::newRow("ahead, in the PC's zone")
            << 0 << qint64(800) << "Clock set to 14:30:05 (UTC+0), moved +0.8 s."
            << "";
        QTest::newRow("back, in another zone")
            << 330 << qint64(-1250)
            << "Clock set to 20:00:05 (UTC+5:30), moved -1.3 s.\nThe PC's time zone is UTC+0."
            << "";
        QTest::newRow("refused") << 0 << qint64(-1) << "The PC clock was not set."
                                 << "timedated said no";
    }

    void answers()
    {
        QFETCH(int, offset);
        QFETCH(qint64, movedMs);
        QFETCH(QString, status);
        QFETCH(QString, refusal);
        HeldClock clock;
        bool syncPending = false;
        clock::ClockSync sync(clock, syncPending);
        QSignalSpy answered(&sync, &clock::ClockSync::answered);
        sync.request();
        QVERIFY(sync.takeFix(at(14, 30, 5), offset));
        sync.setClock();
        QVERIFY(sync.busy());
        if (movedMs == -1)
            Q_EMIT clock.refused(refusal);
        else
            Q_EMIT clock.timeSet(movedMs);
        QVERIFY(!sync.busy());
        QCOMPARE(answered.size(), 1);
        QCOMPARE(answered.first().at(0).toString(), status);
        QCOMPARE(answered.first().at(1).toString(), refusal);
    }
};

QTEST_MAIN(TestClockSync)
#include "tst_clocksync.moc"
