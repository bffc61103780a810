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
#include <QProcess>
#include <QPushButton>
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

    // Starts the mock; SetTime runs `code` (Python) when one is given.
    void startMock(const QString &code = {})
    {
        stop(m_mock);
        QFile::remove(m_dir.filePath("calls.log"));
        m_mock.start(Python,
                     {"-m", "dbusmock", "--system", "-t", "timedated", "-l", m_dir.filePath("calls.log")});
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

    QStringList calls()
    {
        QFile log(m_dir.filePath("calls.log"));
        if (!log.open(QIODevice::ReadOnly))
            return {};
        QStringList setTime;
        for (const QByteArray &line : log.readAll().split('\n'))
            if (line.contains(" SetTime "))
                setTime << QString::fromLatin1(line.mid(line.indexOf("SetTime")));
        return setTime;
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

    // Two hours ahead of the clock: 7,200 s, whatever the date (TZ=UTC).
    void sendsRelativeInteractiveSetTime()
    {
        startMock();
        TimedatedClock clock;
        QSignalSpy set(&clock, &TimedatedClock::timeSet);
        QSignalSpy refused(&clock, &TimedatedClock::refused);
        clock.setTimeOfDay(QDateTime::currentDateTimeUtc().time().addSecs(2 * 3600).toString("hh:mm:ss"));
        QVERIFY(set.wait(5000));
        QCOMPARE(calls().size(), 1);
        const QStringList args = calls().first().split(' ', Qt::SkipEmptyParts);
        QCOMPARE(args.size(), 4); // SetTime usec relative interactive
        QVERIFY2(qAbs(args[1].toLongLong() - 7'200'000'000LL) < 1'000'000, qPrintable(calls().first()));
        QCOMPARE(args[2], QStringLiteral("True"));
        QCOMPARE(args[3], QStringLiteral("True"));
        QVERIFY(qAbs(set.first().first().toLongLong() - 7'200'000) < 1000);
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
        QTest::addColumn<QString>("mentions");
        QTest::newRow("automatic sync on") << "org.freedesktop.timedate1.AutomaticTimeSyncEnabled"
                                           << "timedatectl set-ntp false";
        QTest::newRow("not authorised") << "org.freedesktop.DBus.Error.AccessDenied"
                                        << "not allowed to set the time";
        QTest::newRow("other") << "org.example.Error.Strange"
                               << "org.example.Error.Strange";
    }

    void refusals()
    {
        QFETCH(QString, error);
        QFETCH(QString, mentions);
        startMock(refusal(error));
        TimedatedClock clock;
        QSignalSpy refused(&clock, &TimedatedClock::refused);
        clock.setTimeOfDay("12:00:00");
        QVERIFY(refused.wait(5000));
        QVERIFY2(refused.first().first().toString().contains(mentions),
                 qPrintable(refused.first().first().toString()));
    }

    // Without timedated the kernel is asked, which refuses: no CAP_SYS_TIME.
    void withoutTimedated()
    {
        stop(m_mock);
        QTRY_VERIFY(!QDBusConnection::systemBus().interface()->isServiceRegistered(Service));
        TimedatedClock clock;
        QSignalSpy refused(&clock, &TimedatedClock::refused);
        clock.setTimeOfDay("12:00:00");
        QVERIFY(refused.wait(5000));
        QVERIFY(refused.first().first().toString().contains("CAP_SYS_TIME"));
    }
};

QTEST_MAIN(TestTimedated)
#include "tst_timedated.moc"
