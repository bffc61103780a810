// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The clock backend against a mocked systemd-timedated on a private bus. The
// test refuses to run with the right to set the time, so that no fault can
// ever reach this machine's real clock.

#include "app/form1.h"
#include "clock/timedatedclock.h"
#include "support/fakes.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <linux/capability.h>

using namespace quorvel;
using quorvel::clock::TimedatedClock;

namespace {

const QString Service = QStringLiteral("org.freedesktop.timedate1");
const QString Python = QStringLiteral("/usr/bin/python3"); // Debian's, which has dbusmock

bool mayDoSetTheTime()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("CapEff:"))
            return line.mid(7).trimmed().toULongLong(nullptr, 16) & (1ULL << CAP_SYS_TIME);
    }
    return true;
}

void stop(QProcess &process)
{
    process.terminate();
    if (!process.waitForFinished(3000))
        process.kill();
    process.waitForFinished();
}

} // namespace

class TestTimedated : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_mock;

    // Starts dbusmock's timedated; SetTime runs `code` (Python) when one is
    // given.
    void startMock(const QString &code = {}) { startTemplate(QStringLiteral("timedated"), {}, code); }

    // Starts the mock of `from` (a template's name or file) with the
    // template's `parameters` (JSON).
    void startTemplate(const QString &from, const QString &parameters, const QString &code = {})
    {
        stop(m_mock);
        QFile::remove(m_dir.filePath("calls.log"));
        QStringList arguments{"-m", "dbusmock", "--system", "-t", from, "-l", m_dir.filePath("calls.log")};
        if (!parameters.isEmpty())
            arguments << "-p" << parameters;
        m_mock.start(Python, arguments);
        QVERIFY(m_mock.waitForStarted());
        QDBusConnectionInterface *bus = QDBusConnection::systemBus().interface();
        QTRY_VERIFY(bus->isServiceRegistered(Service));
        if (code.isEmpty())
            return;
        QDBusMessage addMethod = QDBusMessage::createMethodCall(Service, "/org/freedesktop/timedate1",
                                                                "org.freedesktop.DBus.Mock", "AddMethod");
        addMethod << Service << "SetTime"
                  << "xbb"
                  << "" << code;
        const QDBusMessage reply = QDBusConnection::systemBus().call(addMethod);
        QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
    }

    static QString refusal(const QString &error)
    {
        return QStringLiteral("raise dbus.exceptions.DBusException('refused', name='%1')").arg(error);
    }

    // What timedated says of the clock: synchronized to network time or not.
    void setSynchronized(bool synchronized)
    {
        QDBusMessage set = QDBusMessage::createMethodCall(Service, "/org/freedesktop/timedate1",
                                                          "org.freedesktop.DBus.Properties", "Set");
        set << Service << "NTPSynchronized" << QVariant::fromValue(QDBusVariant(synchronized));
        const QDBusMessage reply = QDBusConnection::systemBus().call(set);
        QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
    }

    // The calls of `method` the mock received, each as "Method arg1 arg2...".
    QStringList calls(const QByteArray &method = "SetTime")
    {
        QFile log(m_dir.filePath("calls.log"));
        if (!log.open(QIODevice::ReadOnly))
            return {};
        QStringList found;
        for (const QByteArray &line : log.readAll().split('\n'))
            if (line.contains(' ' + method + ' '))
                found << QString::fromLatin1(line.mid(line.indexOf(method)));
        return found;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (mayDoSetTheTime())
            QFAIL(
                "This test must run without CAP_SYS_TIME: tests/clock/without-cap-sys-time.sh tst_timedated");
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty() || !QFile::exists(Python))
            QSKIP("dbus-daemon or python3-dbusmock is not installed");
        m_bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        QVERIFY(m_bus.waitForReadyRead(5000));
        const QByteArray address = m_bus.readLine().trimmed();
        QVERIFY(!address.isEmpty());
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
        QVERIFY(QDBusConnection::systemBus().isConnected());
    }

    void cleanupTestCase()
    {
        stop(m_mock);
        stop(m_bus);
    }

    // The move goes as it is, to the microsecond, relative to the clock.
    void sendsRelativeInteractiveSetTime()
    {
        startMock();
        TimedatedClock clock;
        QSignalSpy set(&clock, &TimedatedClock::timeSet);
        QSignalSpy refused(&clock, &TimedatedClock::refused);
        clock.setTime(std::chrono::microseconds(7'200'000'123));
        QVERIFY(set.wait(5000));
        QCOMPARE(calls(), QStringList{"SetTime 7200000123 True True"}); // usec relative interactive
        QCOMPARE(set.first().first().toLongLong(), 7'200'000);
        QCOMPARE(refused.size(), 0);
    }

    // The time service answers late (a password prompt): a second press
    // and further fixes meanwhile must not send a second change.
    void slowAnswerMovesTheClockOnce()
    {
        startMock(QStringLiteral("import time; time.sleep(1)"));
        test::MemorySettingsStore settings;
        settings.values["Quorvel/Main/UTCOffset"] = "5:30";
        auto serial = std::make_unique<test::FakeSerialControl>();
        auto clock = std::make_unique<TimedatedClock>();
        test::FakeSerialControl *receiver = serial.get();
        QSignalSpy set(clock.get(), &TimedatedClock::timeSet);
        Form1 form(std::move(serial), settings, std::move(clock));
        form.Form_Load();

        const QTime now = QDateTime::currentDateTimeUtc().time();
        const QByteArray fix = "$GPGGA," + now.toString("hhmmss").toLatin1()
            + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n";
        form.SyncClock_Click();
        receiver->receive(fix);
        QVERIFY(!form.SyncClock->isEnabled());
        // 5:30 from this PC's zone (UTC): the move is confirmed first.
        auto *question = form.findChild<QMessageBox *>();
        QVERIFY(question && question->isVisible());
        question->button(QMessageBox::Yes)->click();
        form.SyncClock_Click();
        form.StartStop_Click();
        receiver->receive(fix);
        QVERIFY(set.wait(5000));
        QVERIFY(form.SyncClock->isEnabled());
        QTest::qWait(1500); // a second change would be recorded by now
        QCOMPARE(calls().size(), 1);
        const qint64 usec = calls().first().split(' ', Qt::SkipEmptyParts).value(1).toLongLong();
        QVERIFY2(qAbs(usec - 19'800'000'000LL) < 2'000'000, qPrintable(calls().first())); // 5:30 ahead
        QVERIFY(form.Label1->text().startsWith("Clock set to "));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("synchronized"); // what timedated says of the clock
        QTest::addColumn<QString>("mentions");
        QTest::addColumn<TimedatedClock::Refusal>("reason");
        const QString automatic = QStringLiteral("org.freedesktop.timedate1.AutomaticTimeSyncEnabled");
        QTest::newRow("automatic sync on, clock not synchronized")
            << automatic << false << "timedatectl set-ntp false" << TimedatedClock::Refusal::NetworkTimeOn;
        QTest::newRow("automatic sync on and has synchronized the clock")
            << automatic << true << "has already synchronized"
            << TimedatedClock::Refusal::NetworkTimeSynchronized;
        QTest::newRow("not authorised")
            << "org.freedesktop.DBus.Error.AccessDenied" << false << "not allowed to set the time"
            << TimedatedClock::Refusal::NotAllowed;
        QTest::newRow("no polkit agent to ask for the password")
            << "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired" << false
            << "polkit authentication agent" << TimedatedClock::Refusal::NotAllowed;
        QTest::newRow("other") << "org.example.Error.Strange" << true << "org.example.Error.Strange"
                               << TimedatedClock::Refusal::Other;
    }

    void refusals()
    {
        QFETCH(QString, error);
        QFETCH(bool, synchronized);
        QFETCH(QString, mentions);
        QFETCH(TimedatedClock::Refusal, reason);
        startMock(refusal(error));
        setSynchronized(synchronized);
        TimedatedClock clock;
        QSignalSpy refused(&clock, &TimedatedClock::refused);
        clock.setTime(std::chrono::seconds(1));
        QVERIFY(refused.wait(5000));
        QVERIFY2(refused.first().first().toString().contains(mentions),
                 qPrintable(refused.first().first().toString()));
        QCOMPARE(refused.first().at(1).value<TimedatedClock::Refusal>(), reason);

        QSignalSpy known(&clock, &TimedatedClock::synchronizedKnown);
        clock.checkSynchronized();
        QVERIFY(known.wait(5000));
        QCOMPARE(known.first().first().toBool(), synchronized);
    }

    // Sync PC Clock where network time holds the clock, against a timedated
    // that behaves as systemd's: asked once whether to turn it off when it
    // has not synchronized the clock, left alone when it has. Turned off, the
    // clock is set once timedated has finished, with the move planned at the
    // fix (relative, so still right), and one press moves it once.
    void windowAndNetworkTime_data()
    {
        QTest::addColumn<bool>("synchronized");
        QTest::addColumn<QString>("parameters"); // the mock's, besides NTPSynchronized
        QTest::addColumn<QString>("answer"); // to the question, if asked
        QTest::addColumn<QStringList>("ntpCalls");
        QTest::addColumn<int>("moves"); // SetTime calls that passed
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("notice"); // part of the message shown, if any
        QTest::newRow("not synchronized, turned off and set")
            << false << ""
            << "yes" << QStringList{"SetNTP False True"} << 1 << "timedatectl set-ntp true"
            << "";
        QTest::newRow("timedated's job takes 3 s: waited for, set once")
            << false << R"("JobSeconds": 3.0)"
            << "yes" << QStringList{"SetNTP False True"} << 1 << "timedatectl set-ntp true"
            << "";
        QTest::newRow("not synchronized, left on")
            << false << ""
            << "no" << QStringList{} << 0 << "network time synchronization is on"
            << "";
        QTest::newRow("synchronized: left, not asked")
            << true << ""
            << "" << QStringList{} << 0 << "network time has synchronized it"
            << "has already synchronized";
        QTest::newRow("no polkit agent to ask for the password")
            << false << R"("SetNTPError": "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired")"
            << "yes" << QStringList{"SetNTP False True"} << 0 << "The PC clock was not set"
            << "polkit authentication agent";
    }

    void windowAndNetworkTime()
    {
        QFETCH(bool, synchronized);
        QFETCH(QString, parameters);
        QFETCH(QString, answer);
        QFETCH(QStringList, ntpCalls);
        QFETCH(int, moves);
        QFETCH(QString, status);
        QFETCH(QString, notice);
        startTemplate(
            SYSTEMD_TIMEDATED,
            QStringLiteral(R"({"NTPSynchronized": %1%2})")
                .arg(synchronized ? "true" : "false", parameters.isEmpty() ? "" : ", " + parameters));
        test::MemorySettingsStore settings;
        auto serial = std::make_unique<test::FakeSerialControl>();
        test::FakeSerialControl *receiver = serial.get();
        Form1 form(std::move(serial), settings, std::make_unique<TimedatedClock>());
        form.Form_Load();
        form.SyncClock_Click();
        const QByteArray fix = "$GPGGA,"
            + QDateTime::currentDateTimeUtc().time().toString("hhmmss").toLatin1()
            + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n";
        receiver->receive(fix);
        // A press and fixes while the system answers must not move the clock again.
        form.SyncClock_Click();
        receiver->receive(fix);
        if (!answer.isEmpty()) {
            QMessageBox *question = nullptr;
            QTRY_VERIFY((question = form.findChild<QMessageBox *>()) && question->isVisible());
            QVERIFY(question->text().contains("Turn automatic time synchronization off"));
            question->button(answer == "yes" ? QMessageBox::Yes : QMessageBox::No)->click();
        }
        QTRY_VERIFY_WITH_TIMEOUT(form.SyncClock->isEnabled(), 10000);
        QTest::qWait(300);
        QVERIFY2(form.Label1->toolTip().contains(status), qPrintable(form.Label1->toolTip()));
        QCOMPARE(calls("SetNTP"), ntpCalls);
        const QStringList asked = calls().filter(QRegularExpression("^SetTime -?[0-9]+ True True$"));
        const QStringList passed = calls("TimeSet");
        QVERIFY2(passed.size() == moves, qPrintable(calls().join(" | ")));
        // Every request carries the move planned at the fix.
        for (const QString &call : asked + passed)
            QCOMPARE(call.split(' ').value(1), asked.first().split(' ').value(1));
        const QStringList shown = test::visibleNotices(form);
        if (notice.isEmpty())
            QVERIFY2(shown.isEmpty(), qPrintable(shown.join(" | ")));
        else
            QVERIFY2(shown.size() == 1 && shown.first().contains(notice), qPrintable(shown.join(" | ")));
    }

    // Network time refuses the move; turned off, it lets the same move pass.
    void turnsNetworkTimeOff()
    {
        startMock(QStringLiteral("if self.Get('%1', 'NTP'): %2")
                      .arg(Service, refusal("org.freedesktop.timedate1.AutomaticTimeSyncEnabled")));
        setSynchronized(false);
        TimedatedClock clock;
        QSignalSpy set(&clock, &TimedatedClock::timeSet);
        QSignalSpy refused(&clock, &TimedatedClock::refused);
        QSignalSpy ntp(&clock, &TimedatedClock::ntpSet);
        clock.setTime(std::chrono::milliseconds(-250));
        QVERIFY(refused.wait(5000));
        QCOMPARE(refused.first().at(1).value<TimedatedClock::Refusal>(),
                 TimedatedClock::Refusal::NetworkTimeOn);
        clock.setNtp(false);
        QVERIFY(ntp.wait(5000));
        QCOMPARE(ntp.first().first().toBool(), false);
        QCOMPARE(calls("SetNTP"), QStringList{"SetNTP False True"});
        clock.setTime(std::chrono::milliseconds(-250));
        QVERIFY(set.wait(5000));
        QCOMPARE(set.first().first().toLongLong(), -250);
        QCOMPARE(refused.size(), 1);
    }

    // Without timedated the kernel is asked, which refuses: no CAP_SYS_TIME.
    void withoutTimedated()
    {
        stop(m_mock);
        QTRY_VERIFY(!QDBusConnection::systemBus().interface()->isServiceRegistered(Service));
        TimedatedClock clock;
        QSignalSpy refused(&clock, &TimedatedClock::refused);
        clock.setTime(std::chrono::seconds(1));
        QVERIFY(refused.wait(5000));
        QVERIFY(refused.first().first().toString().contains("CAP_SYS_TIME"));
        QCOMPARE(refused.first().at(1).value<TimedatedClock::Refusal>(), TimedatedClock::Refusal::NotAllowed);
    }
};

QTEST_MAIN(TestTimedated)
#include "tst_timedated.moc"
