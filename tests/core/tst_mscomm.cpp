// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The serial control's states on sources the test drives: a receiver that
// goes away and comes back, a connection that is refused, bytes that came
// just before a loss or a close, the bit-rate hunt and a receiver faster
// than the window.

#include "link/mscomm.h"
#include "support/memorysettingsstore.h"

#include <QPointer>
#include <QTest>

#include <algorithm>

using namespace quorvel;
using namespace quorvel::link;

namespace {

const QByteArray Gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";

// What the test hands over arrives as a receiver's bytes would; a serial
// line hears the factory's receiver only at its rate.
class FakeSource final : public Source
{
public:
    FakeSource(QStringList &log, int rate, int receiverRate)
        : m_log(log)
        , m_rate(rate)
        , m_receiverRate(receiverRate)
    {
    }

    bool open() override
    {
        hearAtRate();
        return true;
    }
    void close() override { }
    bool readInto(QByteArray &buffer, qsizetype max) override
    {
        const qsizetype from = buffer.size();
        buffer += std::exchange(m_held, {});
        return keepNewest(buffer, from, max) || std::exchange(m_dropped, false);
    }
    void setNotifying(bool on) override
    {
        m_notifying = on;
        if (on && !m_held.isEmpty())
            Q_EMIT readable();
    }
    bool setRate(int rate) override
    {
        m_log << QStringLiteral("rate %1").arg(rate);
        m_rate = rate;
        hearAtRate();
        return true;
    }

    // Bytes that arrived; `dropped`: older ones did not fit.
    void arrive(const QByteArray &bytes, bool notify, bool dropped = false)
    {
        m_held += bytes + "\r\n";
        m_dropped = m_dropped || dropped;
        if (notify && m_notifying)
            Q_EMIT readable();
    }
    void lose()
    {
        fail(Failure::Other, QStringLiteral("the device was closed"));
        Q_EMIT lost();
    }
    void refuse()
    {
        fail(Failure::Unreachable, QStringLiteral("Connection refused"));
        Q_EMIT failed();
    }

private:
    void hearAtRate()
    {
        if (m_rate == m_receiverRate)
            QMetaObject::invokeMethod(this, [this] { arrive(Gga, true); }, Qt::QueuedConnection);
    }

    QStringList &m_log;
    int m_rate;
    int m_receiverRate;
    QByteArray m_held;
    bool m_dropped = false;
    bool m_notifying = true;
};

class FakeSources final : public SourceFactory
{
public:
    explicit FakeSources(QStringList &log)
        : m_log(log)
    {
    }
    std::unique_ptr<Source> make(const SourceSpec &spec, int rate) override
    {
        const bool serial = spec.kind == SourceSpec::Kind::Serial;
        m_log << QStringLiteral("make %1").arg(serial ? rate : 0);
        auto source = std::make_unique<FakeSource>(m_log, rate, serial ? receiverRate : 0);
        current = source.get();
        return source;
    }
    QList<SerialControl::Device> availableDevices() const override { return {}; }
    bool gpsdListens() const override { return false; }

    int receiverRate = 0; // a serial receiver's bit rate; 0 sends nothing
    QPointer<FakeSource> current;

private:
    QStringList &m_log;
};

} // namespace

class TestMSComm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void states_data()
    {
        QTest::addColumn<QString>("source"); // as [Ports] COM1 names it
        QTest::addColumn<QString>("remembered"); // [Rates] for it
        QTest::addColumn<int>("receiverRate");
        QTest::addColumn<QStringList>("steps");
        // In order: sources made, rates set, what the window heard, the
        // descriptions asked for, then the settings written.
        QTest::addColumn<QStringList>("expected");

        const QString tcp = QStringLiteral("tcp://127.0.0.1:10110");
        QTest::newRow("lost and back")
            << "/dev/ttyUSB0@9600"
            << "" << 0 << QStringList{"open", "send A", "lose", "describe", "retry", "send B"}
            << QStringList{"make 9600",
                           "data A",
                           "lost The receiver on COM 1 (/dev/ttyUSB0@9600) went away: the device was closed.",
                           "COM 1 reads /dev/ttyUSB0@9600: waiting for the receiver to come back",
                           "make 9600",
                           "back",
                           "data B"};
        QTest::newRow("bytes that came just before a loss are read first")
            << tcp << "" << 0 << QStringList{"open", "hold A", "lose"}
            << QStringList{"make 0", "data A",
                           "lost The receiver on COM 1 (" + tcp + ") went away: the device was closed."};
        QTest::newRow("the window stops on what came just before a loss: no loss told")
            << tcp << "" << 0 << QStringList{"stop on data", "open", "hold A", "lose"}
            << QStringList{"make 0", "data A"};
        QTest::newRow("refused: not reached, told once, tried again")
            << tcp << "" << 0 << QStringList{"open", "refuse", "retry", "refuse", "retry", "send A"}
            << QStringList{"make 0",
                           "notice COM 1 could not be reached: connection refused; trying again.",
                           "COM 1 (" + tcp
                               + ") could not be reached: connection refused. Trying again every 2 seconds.",
                           "make 0",
                           "make 0",
                           "back",
                           "data A"};
        QTest::newRow("hunt: found at 9600 and remembered")
            << "/dev/ttyUSB0"
            << "" << 9600 << QStringList{"open", "hear", "describe"}
            << QStringList{"make 4800", "rate 9600", "data " + Gga,
                           "COM 1 reads /dev/ttyUSB0 at " + QLocale().toString(9600)
                               + " bit/s (found by trying)",
                           "wrote /dev/ttyUSB0=9600"};
        QTest::newRow("hunt: the rate found last time first")
            << "/dev/ttyUSB0"
            << "19200" << 19200 << QStringList{"open", "hear"}
            << QStringList{"make 19200", "data " + Gga, "wrote /dev/ttyUSB0=19200"};
        QTest::newRow("bytes taken before a close are not read after the next open")
            << tcp << "" << 0 << QStringList{"open", "take A", "close", "open", "send B"}
            << QStringList{"make 0", "make 0", "data B"};
        QTest::newRow("faster than the window: told once")
            << tcp << "" << 0 << QStringList{"open", "flood A", "flood B"}
            << QStringList{"make 0", "notice COM 1 sends more than is shown: older data is dropped.",
                           "COM 1 receives more than the window can show: the newest data is used, "
                           "older data is dropped.",
                           "data A", "data B"};
    }

    void states()
    {
        QFETCH(QString, source);
        QFETCH(QString, remembered);
        QFETCH(int, receiverRate);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        test::MemorySettingsStore settings;
        settings.values["Quorvel/Ports/COM1"] = source;
        if (!remembered.isEmpty())
            settings.values["Quorvel/Rates/" + source] = remembered;
        QStringList log;
        auto owned = std::make_unique<FakeSources>(log);
        FakeSources &sources = *owned;
        sources.receiverRate = receiverRate;
        auto control = std::make_unique<MSComm>(settings, QStringLiteral("Quorvel"), std::move(owned));
        control->setTiming({1, 1, 200}); // the hunt waits long enough for the fake to answer
        bool stopOnData = false; // as a stop rule met by the last fixes does
        connect(control.get(), &SerialControl::OnComm, this, [&] {
            log << "data " + QString::fromLatin1(control->Input().trimmed());
            if (stopOnData)
                control->setPortOpen(false);
        });
        connect(control.get(), &SerialControl::deviceLost, this,
                [&] { log << "lost " + control->errorString(); });
        connect(control.get(), &SerialControl::deviceBack, this, [&] { log << QStringLiteral("back"); });
        connect(control.get(), &SerialControl::notice, this,
                [&](const QString &text, const QString &details) { log << "notice " + text << details; });
        const auto count = [&log](const char *what) {
            return std::count_if(log.cbegin(), log.cend(),
                                 [what](const QString &entry) { return entry.startsWith(what); });
        };

        for (const QString &step : std::as_const(steps)) {
            const QString verb = step.section(' ', 0, 0);
            const QByteArray bytes = step.section(' ', 1).toLatin1();
            const auto heard = count("data ");
            const auto made = count("make ");
            if (step == "stop on data") {
                stopOnData = true;
            } else if (verb == "open") {
                QVERIFY(control->setPortOpen(true));
            } else if (verb == "close") {
                QVERIFY(control->setPortOpen(false));
            } else if (verb == "send" || verb == "flood" || verb == "hold" || verb == "take") {
                // "take": read into the control, not yet handed to the window.
                sources.current->arrive(bytes, verb != "hold", verb == "flood");
            } else if (verb == "lose") {
                sources.current->lose();
            } else if (verb == "refuse") {
                sources.current->refuse();
            } else if (verb == "describe") {
                log << control->portDescription(1);
            } else if (verb == "retry") {
                QTRY_COMPARE(count("make "), made + 1);
            }
            if (verb == "send" || verb == "flood" || verb == "hear")
                QTRY_COMPARE(count("data "), heard + 1);
        }
        QCOMPARE(control->PortOpen(), !stopOnData);
        for (const QString &write : std::as_const(settings.writes))
            log << "wrote " + write;
        QCOMPARE(log, expected);
    }

    // When a burst began: the read after a quiet gap, less its bytes at the
    // bit rate; in a read that ends one burst and starts the next, the line
    // that starts in it. Each read is "ms after the opening:bit rate:bytes"
    // ("~" is CR LF), all of them waiting when it was made.
    void burstTiming_data()
    {
        QTest::addColumn<QStringList>("reads");
        QTest::addColumn<qint64>("position"); // of the byte asked about
        QTest::addColumn<qint64>("burst"); // where its burst began, -1: not known
        QTest::addColumn<double>("epochMs"); // and when
        QTest::newRow("a wakeup after a pause, 4,800 bit/s")
            << QStringList{"1000:4800:$GPGGA,1"} << qint64(3) << qint64(0) << 1000 - 8 * 10 / 4.8;
        QTest::newRow("the end of one burst and the start of the next, 9,600 bit/s")
            << QStringList{"1000:9600:$AAAA", "1100:9600:BB~$CCCC"} << qint64(10) << qint64(9)
            << 1100 - 5 * 10 / 9.6;
        QTest::newRow("no pause: the burst of the line before")
            << QStringList{"1000:4800:$A~", "1050:4800:$BBBBBBBBBBBBBBBBBBBBBB~"} << qint64(6) << qint64(0)
            << 1000 - 4 * 10 / 4.8;
        QTest::newRow("a burst's end, then the next read starts one")
            << QStringList{"1000:9600:$AAAA", "1100:9600:BB~", "1200:9600:$CC"} << qint64(10) << qint64(9)
            << 1200 - 3 * 10 / 9.6;
        QTest::newRow("begun before the port opened: not known")
            << QStringList{"10:4800:$GPGGA,123456.00,4807"} << qint64(5) << qint64(-1) << 0.0;
        QTest::newRow("a connection: the read after one that found nothing")
            << QStringList{"1000:0:", "1100:0:$A~"} << qint64(1) << qint64(0) << 1100.0;
    }

    void burstTiming()
    {
        QFETCH(QStringList, reads);
        QFETCH(qint64, position);
        QFETCH(qint64, burst);
        QFETCH(double, epochMs);
        const link::UtcTime opened(std::chrono::seconds(1'800'000'000));
        link::BurstTiming timing;
        timing.reset(opened);
        qint64 at = 0;
        for (const QString &read : reads) {
            const QStringList parts = read.split(':');
            const QByteArray bytes = parts[2].toLatin1().replace("~", "\r\n");
            timing.read(bytes, at, opened + std::chrono::milliseconds(parts[0].toInt()), -1,
                        parts[1].toInt());
            at += bytes.size();
        }
        const std::optional<link::BurstTiming::Burst> found = timing.burstOf(position);
        QCOMPARE(found.has_value(), burst >= 0);
        if (!found)
            return;
        QCOMPARE(found->position, burst);
        const qint64 us = (found->epoch - opened).count();
        QVERIFY2(qAbs(us - qRound64(epochMs * 1000)) <= 1,
                 qPrintable(QString::number(us))); // to the microsecond
    }
};

QTEST_GUILESS_MAIN(TestMSComm)
#include "tst_mscomm.moc"
