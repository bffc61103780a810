// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clock/clockoffset.h"
#include "clock/clocksync.h"
#include "clock/delaymeter.h"
#include "clock/systemclock.h"

#include <QSignalSpy>

#include <QTest>
#include <functional>

using namespace quorvel;

namespace {

// A clock that records what it is asked and answers only when told.
class HeldClock final : public clock::SystemClock
{
public:
    void setTime(std::chrono::microseconds) override { asked << requested(); }
    void setNtp(bool) override { }
    void checkSynchronized() override { }
    std::function<QString()> requested;
    QStringList asked; // the local times of day set
};

nmea::SentenceTime at(int hour, int minute, int second, nmea::TimeSentence sentence = nmea::TimeSentence::Gga)
{
    return {sentence, nmea::TimeOfDay{hour, minute, second}, std::nullopt};
}

// The burst of GPS second `second` of 2026-12-07, `delayMs` after it.
link::BurstTiming::Burst burstAt(qint64 position, int hour, int minute, int second, int delayMs)
{
    using namespace std::chrono;
    const auto day = sys_days(year(2026) / 12 / 7);
    return {position,
            time_point_cast<microseconds>(day + hours(hour) + minutes(minute) + seconds(second)
                                          + milliseconds(delayMs))};
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
        QTest::newRow("RMC completes it")
            << QStringList{"request", "rmc"} << QStringList{"14:30:05"} << false << true;
        QTest::newRow("ZDA without a fix before it waits")
            << QStringList{"request", "zda"} << QStringList{} << true << false;
        QTest::newRow("ZDA within 2 s of a fix completes it")
            << QStringList{"fix", "request", "zda"} << QStringList{"14:30:06"} << false << true;
        QTest::newRow("ZDA 3 s after the last fix waits")
            << QStringList{"fix", "request", "zda late"} << QStringList{} << true << false;
        QTest::newRow("a burst already timed by another second: no epoch, waits")
            << QStringList{"fix", "request", "same burst, next second"} << QStringList{} << true << false;
        QTest::newRow("a date decades ahead waits for the user; No leaves the clock")
            << QStringList{"request", "fix in 2079", "no", "yes"} << QStringList{} << false << false;
        QTest::newRow("a date decades ahead, Yes: moved once")
            << QStringList{"request", "fix in 2079", "fix", "request", "yes", "yes"}
            << QStringList{"14:30:05"} << false << true;
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
        clock.requested = [&sync] { return sync.timeRequested().left(8); };
        QSignalSpy timedOut(&sync, &clock::ClockSync::timedOut);
        qint64 position = 0;
        const auto take = [&](const nmea::SentenceTime &time, const link::BurstTiming::Burst &burst) {
            if (sync.takeTime(time, burst, 0))
                sync.setClock();
        };
        for (const QString &step : steps) {
            position += 100;
            if (step == "request") {
                sync.request();
            } else if (step == "cancel") {
                sync.cancel();
            } else if (step == "fix") {
                take(at(14, 30, 5), burstAt(position, 14, 30, 5, 100));
            } else if (step == "fix in 2079") {
                nmea::SentenceTime time = at(14, 30, 5, nmea::TimeSentence::Rmc);
                time.date = nmea::Date{2079, 12, 7};
                take(time, burstAt(position, 14, 30, 5, 100));
            } else if (step == "yes" || step == "no") {
                sync.confirmMove(step == "yes");
            } else if (step == "rmc") {
                take(at(14, 30, 5, nmea::TimeSentence::Rmc), burstAt(position, 14, 30, 5, 100));
            } else if (step == "zda") {
                take(at(14, 30, 6, nmea::TimeSentence::Zda), burstAt(position, 14, 30, 6, 100));
            } else if (step == "zda late") {
                take(at(14, 30, 8, nmea::TimeSentence::Zda), burstAt(position, 14, 30, 8, 100));
            } else if (step == "same burst, next second") {
                take(at(14, 30, 6), burstAt(100, 14, 30, 5, 100)); // the first fix's burst
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
    // refusal passes on the system's reason, but never asks to turn off
    // network time once it has been turned off.
    void answers_data()
    {
        QTest::addColumn<int>("offset"); // minutes
        QTest::addColumn<qint64>("movedMs");
        QTest::addColumn<QStringList>("system"); // what the system answers, in turn
        QTest::addColumn<QString>("status"); // two short lines
        QTest::addColumn<QString>("details"); // the whole, where the lines leave something out
        QTest::addColumn<QString>("refusal");

        const QString offNote
            = "Network time synchronization is now off; turn it on again in the system's date "
              "and time settings, or with \"timedatectl set-ntp true\".";
        QTest::newRow("ahead, in the PC's zone")
            << 0 << qint64(800) << QStringList{"set"} << "Clock set to 14:30:05.000.\nMoved +0.800 s (UTC+0)."
            << "Clock set to 14:30:05.000 (UTC+0), moved +0.800 s; receiver delay 0 ms."
            << "";
        QTest::newRow("back, in another zone") << 330 << qint64(-1250) << QStringList{"set"}
                                               << "Clock set to 20:00:05.000.\nThe PC's time zone is UTC+0."
                                               << "Clock set to 20:00:05.000 (UTC+5:30), moved -1.250 s; "
                                                  "receiver delay 0 ms.\nThe PC's time zone "
                                                  "is UTC+0."
                                               << "";
        QTest::newRow("refused") << 0 << qint64(800) << QStringList{"timedated said no"}
                                 << "The PC clock was not set."
                                 << ""
                                 << "timedated said no";
        QTest::newRow("network time turned off, then set")
            << 0 << qint64(800) << QStringList{"network time on", "ntp off", "set"}
            << "Clock set to 14:30:05.000.\nNetwork time is now off."
            << "Clock set to 14:30:05.000 (UTC+0), moved +0.800 s; receiver delay 0 ms.\n" + offNote << "";
        QTest::newRow("network time turned off, still refused: not asked to turn it off")
            << 0 << qint64(800) << QStringList{"network time on", "ntp off", "network time on"}
            << "The PC clock was not set.\nNetwork time is now off."
            << "The PC clock was not set.\n" + offNote
            << "Automatic time synchronization has been turned off, yet the time service still says it holds "
               "the clock, so the clock was not set.\n\nPress Sync PC Clock again in a moment.";
    }

    void answers()
    {
        QFETCH(int, offset);
        QFETCH(qint64, movedMs);
        QFETCH(QStringList, system);
        QFETCH(QString, status);
        QFETCH(QString, details);
        QFETCH(QString, refusal);
        HeldClock clock;
        bool syncPending = false;
        clock::ClockSync sync(clock, syncPending);
        clock.requested = [] { return QString(); };
        QSignalSpy answered(&sync, &clock::ClockSync::answered);
        connect(&sync, &clock::ClockSync::networkTimeOn, &sync, [&sync] { sync.turnNetworkTimeOff(true); });
        sync.request();
        // The PC's clock (TZ=UTC) `movedMs` away from GPS time plus the offset.
        const int local = (14 * 60 + 30 + offset) * 60 + 5;
        QVERIFY(sync.takeTime(at(14, 30, 5), burstAt(0, 0, 0, local, -int(movedMs)), offset));
        sync.setClock();
        for (const QString &answer : system) {
            QVERIFY(sync.busy());
            if (answer == "set")
                Q_EMIT clock.timeSet(movedMs);
            else if (answer == "network time on")
                Q_EMIT clock.refused("Turn it off", clock::SystemClock::Refusal::NetworkTimeOn);
            else if (answer == "ntp off")
                Q_EMIT clock.ntpSet(false);
            else
                Q_EMIT clock.refused(answer);
        }
        QVERIFY(!sync.busy());
        QCOMPARE(answered.size(), 1);
        QCOMPARE(answered.first().at(0).toString(), status);
        QCOMPARE(answered.first().at(1).toString(), details);
        QCOMPARE(answered.first().at(2).toString(), refusal);
        QCOMPARE(clock.asked.size(), system.count("ntp off") + 1); // each request once, none twice
    }

    // The receiver's delay, measured: the median of at least ten seconds of
    // bursts, each `delays` ms after its second.
    void receiverDelay_data()
    {
        QTest::addColumn<QList<int>>("delays"); // one burst a second
        QTest::addColumn<int>("median"); // -1: none yet
        QTest::newRow("ten seconds, 150 ms") << QList<int>(11, 150) << 150;
        QTest::newRow("less than ten seconds") << QList<int>(10, 150) << -1;
        QTest::newRow("a late burst does not move it")
            << QList<int>{150, 151, 149, 150, 420, 150, 152, 150, 148, 150, 151} << 150;
        QTest::newRow("bursts more than a second late are no bursts of their seconds")
            << QList<int>(11, 1200) << -1;
    }

    void receiverDelay()
    {
        QFETCH(QList<int>, delays);
        QFETCH(int, median);
        clock::DelayMeter meter;
        std::optional<std::chrono::milliseconds> found;
        for (int i = 0; i < delays.size(); ++i)
            found = meter.add(at(14, 30, i).time, burstAt(0, 14, 30, i, delays[i]).epoch);
        QCOMPARE(found ? int(found->count()) : -1, median);
    }

    // How far the PC's clock is from GPS time: one burst a second for
    // `seconds` s from 23:50:00, the clock `startMs` ahead and gaining `ppm`;
    // at second `moveAt` it is moved by `moveMs`, or the receiver delay in use
    // grows by `moveMs` where `delayChange`, after a pause of `pause` s in the
    // bursts; the bursts at `late` come 400 ms late.
    void offset_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("startMs");
        QTest::addColumn<double>("ppm");
        QTest::addColumn<int>("moveAt"); // -1: never
        QTest::addColumn<int>("moveMs");
        QTest::addColumn<bool>("delayChange");
        QTest::addColumn<int>("pause");
        QTest::addColumn<QList<int>>("late");
        QTest::addColumn<int>("estimateMs"); // -1000: none
        QTest::addColumn<int>("segments");
        QTest::addColumn<int>("stepMs"); // of the last segment; 0: none
        QTest::addColumn<double>("drift"); // ppm; -1000: none yet

        QTest::newRow("behind, to the millisecond")
            << 8 << -312 << 0.0 << -1 << 0 << false << 0 << QList<int>{} << -312 << 1 << 0 << -1000.0;
        QTest::newRow("late bursts do not count")
            << 8 << 20 << 0.0 << -1 << 0 << false << 0 << QList<int>{2, 5} << 20 << 1 << 0 << -1000.0;
        QTest::newRow("four bursts tell nothing yet")
            << 4 << 20 << 0.0 << -1 << 0 << false << 0 << QList<int>{} << -1000 << 1 << 0 << -1000.0;
        QTest::newRow("across midnight")
            << 900 << 150 << 0.0 << -1 << 0 << false << 0 << QList<int>{} << 150 << 1 << 0 << 0.0;
        QTest::newRow("a move begins a segment with its step")
            << 40 << 300 << 0.0 << 20 << -300 << false << 0 << QList<int>{} << 0 << 2 << -300 << -1000.0;
        QTest::newRow("another receiver delay shifts the segment onto it")
            << 40 << 300 << 0.0 << 20 << 100 << true << 0 << QList<int>{} << 200 << 1 << 0 << -1000.0;
        QTest::newRow("the drift through the segments between moves")
            << 600 << 0 << 50.0 << 300 << -40 << false << 0 << QList<int>{7, 400} << -10 << 2 << -40 << 50.0;
        QTest::newRow("a move while the bursts pause begins a segment: no drift")
            << 600 << 0 << 0.0 << 300 << 300 << false << 1200 << QList<int>{} << 300 << 2 << 0 << 0.0;
    }

    void offset()
    {
        QFETCH(int, seconds);
        QFETCH(int, startMs);
        QFETCH(double, ppm);
        QFETCH(int, moveAt);
        QFETCH(int, moveMs);
        QFETCH(bool, delayChange);
        QFETCH(int, pause);
        QFETCH(QList<int>, late);
        QFETCH(int, estimateMs);
        QFETCH(int, segments);
        QFETCH(int, stepMs);
        QFETCH(double, drift);
        using namespace std::chrono;
        clock::ClockOffset offset;
        const clock::SteadyTime start{hours(100)};
        for (int i = 0; i < seconds; ++i) {
            const bool moved = moveAt >= 0 && i >= moveAt;
            const int t = i + (moved ? pause : 0); // seconds since the first burst
            const milliseconds delay(150 + (moved && delayChange ? moveMs : 0));
            const auto ahead = microseconds(startMs * 1000 + (moved && !delayChange ? moveMs * 1000 : 0))
                + microseconds(std::lround(ppm * t));
            const int second = 23 * 3600 + 50 * 60 + t;
            const nmea::TimeOfDay gps{second / 3600 % 24, second / 60 % 60, second % 60};
            // A late burst is late on both clocks: the PC was busy.
            const milliseconds lateness(late.contains(i) ? 400 : 0);
            const link::UtcTime epoch = burstAt(0, 0, 0, second, 150).epoch + ahead + lateness;
            offset.add(gps, epoch, start + std::chrono::seconds(t) + lateness, delay);
        }
        const std::optional<clock::ClockOffset::Point> estimate = offset.estimate();
        QCOMPARE(estimate ? int(round<milliseconds>(estimate->offset).count()) : -1000, estimateMs);
        QCOMPARE(int(offset.segments().size()), segments);
        const auto step = offset.segments().back().step;
        QCOMPARE(step ? int(round<milliseconds>(*step).count()) : 0, stepMs);
        const std::optional<clock::ClockOffset::Drift> found = offset.drift();
        QVERIFY2(drift == -1000 ? !found : found && std::abs(found->ppm - drift) < 0.5,
                 qPrintable(found ? QString::number(found->ppm) : QStringLiteral("no drift")));
    }
};

QTEST_MAIN(TestClockSync)
#include "tst_clocksync.moc"
