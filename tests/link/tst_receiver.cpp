// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window on real pseudo-terminals: the serial control, the settings file
// and the line assembly together, as a receiver on a cable would drive them.

#include "app/form1.h"
#include "link/mscomm.h"
#include "link/systemsources.h"
#include "settings/inisettingsstore.h"
#include "support/fakes.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QTimer>
#include <QUdpSocket>

#include <cmath>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

using namespace quorvel;

namespace {

// The receiver's end of a pseudo-terminal; the program opens the other end.
class Receiver
{
public:
    Receiver()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
            device = QString::fromLocal8Bit(ptsname(m_master));
    }
    ~Receiver() { hangUp(); }

    // Sends everything, letting the program read while the terminal is full.
    bool send(QByteArrayView bytes)
    {
        while (!bytes.isEmpty()) {
            const ssize_t n = write(m_master, bytes.data(), size_t(bytes.size()));
            if (n > 0)
                bytes = bytes.sliced(n);
            else if (errno == EAGAIN)
                QTest::qWait(1);
            else
                return false;
        }
        return true;
    }
    void hangUp()
    {
        if (m_master >= 0)
            close(m_master);
        m_master = -1;
    }

    QString device;

private:
    int m_master = -1;
};

// The serial control on this machine's devices and network.
std::unique_ptr<link::MSComm> serialControl(settings::SettingsStore &settings)
{
    return std::make_unique<link::MSComm>(settings, QStringLiteral("Quorvel"),
                                          std::make_unique<link::SystemSources>());
}

// A port that was free a moment ago.
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray readLog(const QString &name)
{
    QFile log(QStringLiteral(NMEA_CORPUS "/") + name);
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

} // namespace

class TestReceiver : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<settings::IniSettingsStore> m_settings;
    // Fresh terminals for each test.
    std::unique_ptr<Receiver> m_com1;
    std::unique_ptr<Receiver> m_com2;

    std::unique_ptr<Form1> startWindow()
    {
        auto form = std::make_unique<Form1>(serialControl(*m_settings), *m_settings,
                                            std::make_unique<test::FakeClock>());
        form->Form_Load();
        return form;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        m_settings = std::make_unique<settings::IniSettingsStore>(m_config.path());
    }

    void init()
    {
        m_com1 = std::make_unique<Receiver>();
        m_com2 = std::make_unique<Receiver>();
        QVERIFY(!m_com1->device.isEmpty() && !m_com2->device.isEmpty());
        QVERIFY(m_settings->writeSetting("Quorvel", "Ports", "COM1", m_com1->device));
        QVERIFY(m_settings->writeSetting("Quorvel", "Ports", "COM2", m_com2->device));
        QVERIFY(m_settings->writeSetting("Quorvel", "Ports", "COM3", "/dev/quorvel-no-such-device"));
        QVERIFY(m_settings->writeSetting("Quorvel", "Main", "Port", "1"));
        QVERIFY(m_settings->writeSetting("Quorvel", "Main", "UTCOffset", "0"));
    }

    void settingsFile()
    {
        auto form = startWindow();
        form->UTCOffset->setText(QStringLiteral("-5"));
        form->UTCOffset_LostFocus();
        QFile file(m_config.filePath(QStringLiteral("Quorvel/Quorvel.conf")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("[Main]\nPort=1\nUTCOffset=-5\n"));

        // A folder that cannot be made (a file stands in its way) fails the write.
        QFile blocker(m_config.filePath(QStringLiteral("Blocked")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QVERIFY(!m_settings->writeSetting("Blocked", "Main", "Port", "1"));
    }

    void streamRealLog()
    {
        const QByteArray log = readLog(QStringLiteral("haicom-305N.log"));
        QVERIFY(!log.isEmpty());
        auto form = startWindow();
        form->StartStop_Click();
        QVERIFY(form->MSComm1->PortOpen());
        for (qsizetype at = 0; at < log.size(); at += 37) // sentences split across batches
            QVERIFY(m_com1->send(log.mid(at, 37)));
        QTRY_COMPARE(form->SampleCount, 68);

        // The mean, and the CSV rows, computed here from the log's own text.
        double lat = 0, lon = 0, alt = 0;
        QStringList rows;
        const auto degrees = [](const QByteArray &ddmm) {
            const double value = ddmm.toDouble();
            return std::trunc(value / 100) + std::fmod(value, 100) / 60;
        };
        for (const QByteArray &line : log.split('\n')) {
            const QList<QByteArray> f = line.trimmed().split(',');
            if (line.startsWith("$GPGGA") && f.size() > 9 && f[6] != "0") {
                lat -= f[2].toDouble(); // south
                lon -= f[4].toDouble(); // east
                alt += f[9].toDouble();
                rows << QStringLiteral("%1:%2:%3,%4,%5,%6,%7,%8,%9")
                            .arg(QString::fromLatin1(f[1].mid(0, 2)), QString::fromLatin1(f[1].mid(2, 2)),
                                 QString::fromLatin1(f[1].mid(4))) // the fraction as sent
                            .arg(-degrees(f[2]), 0, 'f', 8)
                            .arg(degrees(f[4]), 0, 'f', 8)
                            .arg(f[9].toDouble())
                            .arg(f[6].toInt())
                            .arg(f[7].toInt())
                            .arg(f[8].toDouble());
            }
        }
        form->CalcPos_Click();
        QVERIFY(qAbs(form->Latitidue->text().toDouble() - lat / 68 / 100) < 1e-12);
        QVERIFY(qAbs(form->Longitude->text().toDouble() - lon / 68 / 100) < 1e-12);
        QVERIFY(qAbs(form->Elevation->text().toDouble() - alt / 68) < 1e-9);
        QVERIFY(form->Label1->text().startsWith(QStringLiteral("68 fixes over ")));

        const QString csvPath = m_config.filePath(QStringLiteral("fixes.csv"));
        QVERIFY(form->saveFixesCsv(csvPath));
        QFile csv(csvPath);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QStringList saved
            = QString::fromLatin1(csv.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(saved.takeFirst(),
                 QStringLiteral("time_utc,latitude,longitude,elevation_m,fix_quality,satellites,hdop"));
        QCOMPARE(saved, rows);
    }

    void switchPortsMidSentence()
    {
        auto form = startWindow();
        form->StartStop_Click();
        const QByteArray fix = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
        QVERIFY(m_com1->send(fix.left(25)));
        QTRY_COMPARE(form->monitor->text(), QString::fromLatin1(fix.left(25)));
        form->Option2->click();
        QCOMPARE(form->MSComm1->CommPort(), 2);
        QVERIFY(m_com2->send(fix.mid(25)));
        QTRY_COMPARE(form->SampleCount, 1);
        QCOMPARE(m_settings->readSetting("Quorvel", "Main", "Port", ""), QStringLiteral("2"));
    }

    // A device that is not there ends logging with a message; a network
    // receiver that does not answer is tried again, and the status line says
    // why it could not be reached.
    void missingDeviceIsExplained_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("waits"); // logging goes on while the source is tried again
        QTest::addColumn<QStringList>("told"); // parts of the message
        QTest::newRow("no such device") << "/dev/quorvel-no-such-device" << false
                                        << QStringList{"/dev/quorvel-no-such-device", "[Ports]"};
        QTest::newRow("nothing listens on the TCP port")
            << QStringLiteral("tcp://127.0.0.1:%1").arg(freePort()) << true
            << QStringList{"could not be reached: connection refused", "every 2 seconds"};
        QTest::newRow("TCP to a broadcast address: refused by the system at once")
            << "tcp://255.255.255.255:10110" << true
            << QStringList{"could not be reached: network unreachable"};
    }

    void missingDeviceIsExplained()
    {
        QFETCH(QString, source);
        QFETCH(bool, waits);
        QFETCH(QStringList, told);
        QVERIFY(m_settings->writeSetting("Quorvel", "Ports", "COM3", source));
        auto form = startWindow();
        QSignalSpy lost(form->MSComm1, &link::SerialControl::deviceLost);
        form->Option3->click();
        form->StartStop_Click();
        if (waits)
            QTRY_VERIFY(form->Label1->text().contains(told.first()));
        QCOMPARE(form->Logging && form->MSComm1->PortOpen(), waits);
        const QString message = waits ? form->Label1->toolTip() : test::visibleNotices(*form).value(0);
        for (const QString &part : told)
            QVERIFY2(message.contains(part), qPrintable(message));
        QVERIFY(lost.isEmpty()); // it never was there
    }

    // A second program on the same device is told who holds it.
    void deviceInUse()
    {
        const auto first = serialControl(*m_settings);
        QVERIFY(first->setPortOpen(true));
        const auto second = serialControl(*m_settings);
        QVERIFY(!second->setPortOpen(true));
        const QString message = second->errorString();
        QVERIFY2(message.contains(QStringLiteral("in use by another program (process %1")
                                      .arg(QCoreApplication::applicationPid()))
                     && !message.contains("dialout"),
                 qPrintable(message));
    }

    // The same log through every kind of network source gives the same fixes.
    void networkSources_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("hangUp"); // the sender closes right after the log
        QTest::addColumn<QString>("host");
        QTest::newRow("TCP") << "tcp" << false << "127.0.0.1";
        QTest::newRow("TCP, hangs up after sending") << "tcp" << true << "127.0.0.1";
        QTest::newRow("UDP datagrams") << "udp" << false << "127.0.0.1";
        QTest::newRow("UDP datagrams to a host name") << "udp" << false << "localhost";
        QTest::newRow("gpsd") << "gpsd" << false << "127.0.0.1";
    }

    void networkSources()
    {
        QFETCH(QString, kind);
        QFETCH(bool, hangUp);
        QFETCH(QString, host);
        QByteArray log;
        for (const QByteArray &line : readLog(QStringLiteral("haicom-305N.log")).split('\n')) {
            if (!line.startsWith('#'))
                log += line + '\n';
        }
        QTcpServer server;
        QProcess gpsd;
        Receiver gpsdReceiver;
        quint16 port = freePort();
        QString source;
        if (kind == "tcp") {
            QVERIFY(server.listen(QHostAddress::LocalHost, 0));
            connect(&server, &QTcpServer::newConnection, this, [&server, &log, hangUp] {
                QTcpSocket *client = server.nextPendingConnection();
                client->write(log);
                if (hangUp)
                    client->disconnectFromHost();
            });
            source = QStringLiteral("tcp://%1:%2").arg(host).arg(server.serverPort());
        } else if (kind == "udp") {
            source = QStringLiteral("udp://%1:%2").arg(host).arg(port);
        } else {
            const QString program = QStandardPaths::findExecutable("gpsd", {"/usr/sbin", "/usr/bin"});
            if (program.isEmpty())
                QSKIP("gpsd is not installed (Debian package gpsd)");
            QFile::setPermissions(gpsdReceiver.device,
                                  QFile::Permissions(0x6666)); // gpsd may drop to its own user
            gpsd.start(program,
                       {"-N", "-n", "-b", "-S", QString::number(port), "-F",
                        m_config.filePath(QStringLiteral("gpsd.sock")), gpsdReceiver.device});
            QVERIFY(gpsd.waitForStarted());
            const auto listening = [port] {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, port);
                return probe.waitForConnected(100);
            };
            QTRY_VERIFY(listening());
            source = QStringLiteral("gpsd://%1:%2").arg(host).arg(port);
        }
        QVERIFY(m_settings->writeSetting("Quorvel", "Ports", "COM4", source));
        auto form = startWindow();
        form->Option4->click();
        form->StartStop_Click();
        QVERIFY(form->MSComm1->PortOpen());
        if (kind == "gpsd") {
            // gpsd relays once it has recognised the device: sentences that
            // are no fix until the program hears them.
            QSignalSpy heard(form->MSComm1, &link::SerialControl::OnComm);
            QTRY_VERIFY_WITH_TIMEOUT(
                gpsdReceiver.send("$GPGSA,A,1,,,,,,,,,,,,,,,*1E\r\n") && !heard.isEmpty(), 10000);
        }
        if (kind == "udp") {
            QUdpSocket sender;
            for (const QByteArray &line : log.split('\n')) {
                sender.writeDatagram(line + "\r\n", QHostAddress::LocalHost, port);
                QTest::qWait(1); // a receiver sends a few a second, not all at once
            }
        } else if (kind == "gpsd") {
            for (qsizetype at = 0; at < log.size(); at += 256) {
                QVERIFY(gpsdReceiver.send(log.mid(at, 256)));
                QTest::qWait(5);
            }
        }
        QTRY_COMPARE_WITH_TIMEOUT(form->SampleCount, 68, 8000);
        QVERIFY(!form->monitor->text().startsWith('{')); // gpsd's own messages are not shown
        // Lines come whole, and the last one stays to be seen.
        QVERIFY2(form->monitor->text().startsWith('$'), qPrintable(form->monitor->text()));
        form.reset();
        if (gpsd.state() == QProcess::Running) {
            gpsd.terminate();
            gpsd.waitForFinished(3000);
        }
    }

    // Unplugged mid-log and plugged in again under the same name: one
    // notice each way, and the fixes from both halves count.
    void receiverComesBack()
    {
        const QString link = m_config.filePath(QStringLiteral("gps-link"));
        QFile::remove(link);
        QVERIFY(QFile::link(m_com1->device, link));
        QVERIFY(m_settings->writeSetting("Quorvel", "Ports", "COM1", link));
        auto form = startWindow();
        QSignalSpy lost(form->MSComm1, &link::SerialControl::deviceLost);
        QSignalSpy back(form->MSComm1, &link::SerialControl::deviceBack);
        form->StartStop_Click();
        const QByteArray fix = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
        QVERIFY(m_com1->send(fix + fix + "$GPGSA"));
        QTRY_COMPARE(form->monitor->text(), QStringLiteral("$GPGSA"));
        m_com1->hangUp();
        QTRY_COMPARE(lost.size(), 1);
        QVERIFY(form->Logging && form->MSComm1->PortOpen());
        QVERIFY(test::visibleNotices(*form).isEmpty());

        Receiver again;
        QSignalSpy reopened(form->MSComm1, &link::SerialControl::portChanged);
        QFile::remove(link);
        QVERIFY(QFile::link(again.device, link));
        QTRY_VERIFY_WITH_TIMEOUT(!reopened.isEmpty(), 6000);
        QVERIFY(again.send("\r\n" + fix));
        QTRY_COMPARE(form->SampleCount, 3);
        QCOMPARE(lost.size(), 1);
        QCOMPARE(back.size(), 1);
    }

    // A terminal keeps what was written to it before the port was opened,
    // however old. The clock is set from a fix sent after the click.
    void syncIgnoresWhatWaitedBeforeTheClick()
    {
        auto ownedClock = std::make_unique<test::FakeClock>();
        test::FakeClock *clock = ownedClock.get();
        Form1 form(serialControl(*m_settings), *m_settings, std::move(ownedClock));
        form.Form_Load();
        QVERIFY(m_com1->send("$GPGGA,080000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*42\r\n"));
        form.SyncClock_Click();
        QVERIFY(form.MSComm1->PortOpen());
        // The first burst after the opening may have begun before it: the
        // next one, after a pause, sets the clock.
        QVERIFY(m_com1->send("$GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*49\r\n"));
        QTest::qWait(1100);
        QVERIFY(m_com1->send("$GPGGA,120001,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*48\r\n"));
        QTRY_COMPARE(clock->settings.size(), 1);
        QVERIFY2(clock->settings.first().startsWith("12:00:01"), qPrintable(clock->settings.first()));
    }

    // A burst sent at the line's pace, 150 ms after its second, the stated
    // receiver delay: the clock is found right to a few milliseconds
    // however late the window reads it, from the bytes waiting then.
    void syncTimesTheBurst_data()
    {
        QTest::addColumn<int>("rate");
        QTest::newRow("4,800 bit/s") << 4800;
        QTest::newRow("115,200 bit/s") << 115200;
    }

    void syncTimesTheBurst()
    {
        QFETCH(int, rate);
        QVERIFY(m_settings->writeSetting("Quorvel", "Ports", "COM1",
                                         QStringLiteral("%1@%2").arg(m_com1->device).arg(rate)));
        QVERIFY(m_settings->writeSetting("Quorvel", "Clock", "ReceiverDelayMs", "150"));
        auto ownedClock = std::make_unique<test::FakeClock>();
        test::FakeClock *clock = ownedClock.get();
        Form1 form(serialControl(*m_settings), *m_settings, std::move(ownedClock));
        form.Form_Load();
        form.SyncClock_Click();
        using namespace std::chrono;
        const auto second = ceil<seconds>(system_clock::now() + milliseconds(100));
        const QByteArray body = "GPGGA,"
            + QDateTime::fromSecsSinceEpoch(second.time_since_epoch().count(), QTimeZone::utc())
                  .toString("hhmmss.00")
                  .toLatin1()
            + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
        char sum = 0;
        for (const char c : body)
            sum ^= c;
        const QByteArray line
            = "$" + body + "*" + QByteArray::number(uchar(sum), 16).rightJustified(2, '0').toUpper() + "\r\n";
        while (system_clock::now() < second + milliseconds(150))
            QTest::qWait(1);
        // Each byte when the line carries it; the window does not read meanwhile.
        const auto start = steady_clock::now();
        for (qsizetype i = 0; i < line.size(); ++i) {
            std::this_thread::sleep_until(start + microseconds(i * 10'000'000LL / rate));
            QVERIFY(m_com1->send(line.mid(i, 1)));
        }
        // On a busy machine this loop itself runs late: the burst began when
        // the line, as it was really sent, would have begun.
        const microseconds lineTime(qint64(line.size() - 1) * 10'000'000LL / rate);
        const auto began = time_point_cast<microseconds>(system_clock::now()) - lineTime;
        const microseconds late = duration_cast<microseconds>(began - (second + milliseconds(150)));
        QTRY_COMPARE(clock->moves.size(), 1);
        // Without the bytes that waited, the burst would seem to begin when
        // the line ended: 144 ms late at 4,800 bit/s.
        const microseconds error = clock->moves.first() + late;
        QVERIFY2(
            qAbs(error.count()) < 20'000,
            qPrintable(
                QStringLiteral("%1 us off, the line sent %2 us late").arg(error.count()).arg(late.count())));
        m_settings->writeSetting("Quorvel", "Clock", "ReceiverDelayMs", "");
    }

    // A network receiver that sends far faster than the window takes batches:
    // the window gets the newest bytes, so the clock is set from what the
    // receiver sends now, not from seconds of backlog; the status line says
    // once that data was dropped.
    void fastReceiverGivesTheNewest()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        QPointer<QTcpSocket> client;
        connect(&server, &QTcpServer::newConnection, this, [&] { client = server.nextPendingConnection(); });
        QByteArray fix = "$GPGGA,080000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*42\r\n";
        QTimer flood; // about 5 MB/s
        connect(&flood, &QTimer::timeout, this, [&] {
            if (client && client->bytesToWrite() < (1 << 20))
                client->write(fix.repeated(1500));
        });
        flood.start(20);
        QVERIFY(m_settings->writeSetting("Quorvel", "Ports", "COM4",
                                         QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort())));
        auto ownedClock = std::make_unique<test::FakeClock>();
        test::FakeClock *clock = ownedClock.get();
        Form1 form(serialControl(*m_settings), *m_settings, std::move(ownedClock));
        form.Form_Load();
        QSignalSpy notices(form.MSComm1, &link::SerialControl::notice);
        form.Option4->click();
        form.StartStop_Click();
        QTest::qWait(1000);
        QVERIFY2(form.Label1->text().contains("older data is dropped"), qPrintable(form.Label1->text()));
        fix = "$GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*49\r\n";
        QTest::qWait(300);
        form.SyncClock_Click();
        QTRY_COMPARE(clock->settings.size(), 1);
        QVERIFY2(clock->settings.first().startsWith("12:00:00"), qPrintable(clock->settings.first()));
        QCOMPARE(notices.size(), 1);
    }
};

QTEST_MAIN(TestReceiver)
#include "tst_receiver.moc"
