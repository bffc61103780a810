// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The text that names a COM port's receiver, and the hunt for a serial
// receiver's bit rate.

#include "link/ratehunt.h"
#include "link/sourcespec.h"

#include <QTest>

using namespace quorvel::link;

Q_DECLARE_METATYPE(SourceSpec)

namespace {

SourceSpec spec(SourceSpec::Kind kind, QString device, std::optional<int> rate, QString host, quint16 port)
{
    SourceSpec s;
    s.kind = kind;
    s.device = std::move(device);
    s.rate = rate;
    s.host = std::move(host);
    s.port = port;
    return s;
}

const QByteArray Gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

// A receiver at `actual` bit/s that sends `sentence`, read at `rate`: the
// sentence, or garbage.
QByteArray heard(int rate, int actual, const QByteArray &sentence)
{
    if (rate == actual)
        return sentence;
    return QByteArray("\xf0\x0f\x80$G\x81\r\x8f\xff\x03\x66", 11);
}

} // namespace

class TestSources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<SourceSpec>("expected");
        QTest::addColumn<QString>("problem"); // a part of the message, or empty
        using K = SourceSpec::Kind;
        const SourceSpec none;

        QTest::newRow("serial device") << "/dev/ttyUSB0" << spec(K::Serial, "/dev/ttyUSB0", {}, {}, 0) << "";
        QTest::newRow("fixed rate") << "/dev/ttyUSB0@9600" << spec(K::Serial, "/dev/ttyUSB0", 9600, {}, 0)
                                    << "";
        QTest::newRow("by-path name with ':' and ','")
            << "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1,2:1.0-port0"
            << spec(K::Serial, "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1,2:1.0-port0", {}, {}, 0) << "";
        QTest::newRow("tcp") << "tcp://192.168.1.20:10110" << spec(K::Tcp, {}, {}, "192.168.1.20", 10110)
                             << "";
        QTest::newRow("tcp, IPv6") << "tcp://[::1]:10110" << spec(K::Tcp, {}, {}, "::1", 10110) << "";
        QTest::newRow("udp, any address") << "udp://:10110" << spec(K::Udp, {}, {}, {}, 10110) << "";
        QTest::newRow("udp, one address")
            << "udp://127.0.0.1:10110" << spec(K::Udp, {}, {}, "127.0.0.1", 10110) << "";
        QTest::newRow("gpsd") << "gpsd://localhost" << spec(K::Gpsd, {}, {}, "localhost", 2947) << "";
        QTest::newRow("gpsd, port and device") << "gpsd://pi.local:3000/dev/ttyACM0"
                                               << spec(K::Gpsd, "/dev/ttyACM0", {}, "pi.local", 3000) << "";
        QTest::newRow("rate not a serial rate") << "/dev/ttyUSB0@9601" << none << "bit rate after '@'";
        QTest::newRow("relative path") << "ttyUSB0" << none << "full path";
        QTest::newRow("tcp without port") << "tcp://host" << none << "needs a host and a port";
        QTest::newRow("udp port not a number") << "udp://:x" << none << "needs a port";
        QTest::newRow("tcp port beyond 65535")
            << "tcp://127.0.0.1:99999" << none << "the port must be from 1 to 65535, not 99999.";
        QTest::newRow("gpsd port 0") << "gpsd://localhost:0" << none
                                     << "the port must be from 1 to 65535, not 0.";
        QTest::newRow("unknown scheme") << "http://x:1" << none << "not a kind of source";
        QTest::newRow("empty") << "  " << none << "it is empty";
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(SourceSpec, expected);
        QFETCH(QString, problem);
        const auto parsed = parseSourceSpec(text);
        if (problem.isEmpty()) {
            if (const QString *problemText = std::get_if<QString>(&parsed))
                QFAIL(qPrintable(*problemText));
            QVERIFY(std::get<SourceSpec>(parsed) == expected);
            QCOMPARE(parseSourceSpec(sourceText(expected)), parsed); // the text names it again
        } else {
            QVERIFY(std::holds_alternative<QString>(parsed));
            QVERIFY2(std::get<QString>(parsed).contains(problem), qPrintable(std::get<QString>(parsed)));
            QVERIFY(std::get<QString>(parsed).contains("gpsd://HOST")); // the accepted forms are shown
        }
    }

    // The hunt against a receiver that sends garbage at any other rate.
    void hunt_data()
    {
        QTest::addColumn<int>("first"); // where the hunt starts
        QTest::addColumn<int>("actual"); // the receiver's rate, 0 for a silent one
        QTest::addColumn<QByteArray>("sentence"); // what the receiver sends
        QTest::addColumn<QList<int>>("tried"); // rates tried
        QTest::addColumn<bool>("found"); // at the last rate tried

        const QList<int> roundAndRound{4800, 9600, 19200, 38400, 57600, 115200, 4800, 9600};
        QTest::newRow("4800 receiver: found at once") << 4800 << 4800 << Gga << QList<int>{4800} << true;
        QTest::newRow("u-blox at 9600") << 4800 << 9600 << Gga << QList<int>{4800, 9600} << true;
        QTest::newRow("remembered rate first") << 38400 << 38400 << Gga << QList<int>{38400} << true;
        QTest::newRow("remembered rate wrong, then from 4800 up")
            << 38400 << 9600 << Gga << QList<int>{38400, 4800, 9600} << true;
        QTest::newRow("found on the second pass")
            << 4800 << 115200 << Gga << QList<int>{4800, 9600, 19200, 38400, 57600, 115200} << true;
        QTest::newRow("silent: round and round") << 4800 << 0 << Gga << roundAndRound << false;
        QTest::newRow("no checksums: found")
            << 4800 << 9600
            << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n")
            << QList<int>{4800, 9600} << true;
        // Garbage can look like a sentence; a checksum that is there must be right.
        QTest::newRow("wrong checksum: not found")
            << 4800 << 9600
            << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*46\r\n")
            << roundAndRound << false;
    }

    void hunt()
    {
        QFETCH(int, first);
        QFETCH(int, actual);
        QFETCH(QByteArray, sentence);
        QFETCH(QList<int>, tried);
        QFETCH(bool, found);
        RateHunt hunt(first);
        QList<int> rates{hunt.rate()};
        while (!hunt.received(actual ? heard(hunt.rate(), actual, sentence) : QByteArray())
               && rates.size() < tried.size())
            rates << hunt.next();
        QCOMPARE(rates, tried);
        QCOMPARE(hunt.found(), found);
    }
};

QTEST_GUILESS_MAIN(TestSources)
#include "tst_sources.moc"
