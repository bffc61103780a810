// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The serial control's states on sources the test drives: a receiver that
// goes away and comes back, a connection that is refused, bytes that came
// just before a loss, the bit-rate hunt and a receiver faster than the window.

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
            QMetaObject::invokeMethod(
                this, [this] { arrive(Gga, true); }, Qt::QueuedConnection);
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
                           "notice COM 1 (" + tcp
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
        QTest::newRow("faster than the window: told once")
            << tcp << "" << 0 << QStringList{"open", "flood A", "flood B"}
            << QStringList{"make 0",
                           "notice COM 1 receives more than the window can show: the newest data is used, "
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
                [&](const QString &text) { log << "notice " + text; });
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
            } else if (verb == "send" || verb == "flood" || verb == "hold") {
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
};

QTEST_GUILESS_MAIN(TestMSComm)
#include "tst_mscomm.moc"
