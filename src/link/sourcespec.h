// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <array>
#include <optional>
#include <variant>

namespace quorvel::link {

// Where a COM port's receiver is, as the settings name it ([Ports] COMn=):
//   /dev/ttyUSB0                a serial device, its bit rate found by trying
//   /dev/ttyUSB0@9600           a serial device at a fixed rate
//   tcp://HOST:PORT             NMEA over TCP (a phone app, a multiplexer)
//   udp://:PORT, udp://ADDRESS:PORT   NMEA datagrams received on that port
//   gpsd://HOST[:PORT][/DEVICE] gpsd's raw NMEA (port 2947 unless given)
struct SourceSpec
{
    enum class Kind { Serial, Tcp, Udp, Gpsd };

    Kind kind = Kind::Serial;
    QString device; // serial device; for gpsd, one device of several (empty: all)
    std::optional<int> rate; // serial: fixed bit rate
    QString host; // tcp, gpsd; for udp the address to listen on (empty: any)
    quint16 port = 0;

    friend bool operator==(const SourceSpec &, const SourceSpec &) = default;
};

constexpr quint16 GpsdPort = 2947;

// What the text names, or a message for the user that shows the forms
// that are accepted.
std::variant<SourceSpec, QString> parseSourceSpec(const QString &text);

// The text that names `spec`, as parseSourceSpec reads it.
QString sourceText(const SourceSpec &spec);

// The bit rates a serial line may be set to.
inline constexpr std::array SupportedRates{1200,  2400,   4800,   9600,   19200, 38400,
                                           57600, 115200, 230400, 460800, 921600};
bool isSupportedRate(int rate);

// Where the settings name the receiver of COM `port`: key "COM<port>" of
// section "Ports".
inline const QString PortsSection = QStringLiteral("Ports");
inline QString portKey(int port)
{
    return QStringLiteral("COM%1").arg(port);
}

} // namespace quorvel::link
