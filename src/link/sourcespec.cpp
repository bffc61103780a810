// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sourcespec.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace quorvel::link {

namespace {

QString forms()
{
    return QCoreApplication::translate(
        "SourceSpec",
        "Use one of these forms:\n"
        "  /dev/ttyUSB0  (a serial device; its bit rate is found by trying)\n"
        "  /dev/ttyUSB0@9600  (a serial device at a fixed rate)\n"
        "  tcp://HOST:PORT  (NMEA over TCP, for example tcp://192.168.1.20:10110)\n"
        "  udp://:PORT  or  udp://ADDRESS:PORT  (NMEA datagrams, for example udp://:10110)\n"
        "  gpsd://HOST[:PORT][/DEVICE]  (gpsd, for example gpsd://localhost)");
}

QString problem(const QString &text, const QString &what)
{
    return QCoreApplication::translate("SourceSpec", "\"%1\" cannot be used: %2.\n\n%3")
        .arg(text, what, forms());
}

// "HOST:PORT", "[::1]:PORT" or, where the port may be left out, "HOST", read
// into the spec's host and port. Nothing where it reads; else what is wrong:
// a number that is no port is said as such, anything else by `what`.
std::optional<QString> readHostPort(const QString &text, SourceSpec &spec, bool portRequired,
                                    bool hostRequired, const QString &what)
{
    QString portText;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return what;
        spec.host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))
            return what;
        portText = rest.mid(1);
    } else {
        const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
        spec.host = colon < 0 ? text : text.left(colon);
        portText = colon < 0 ? QString() : text.mid(colon + 1);
        if (colon >= 0 && portText.isEmpty())
            return what;
    }
    if (portText.isEmpty() && portRequired)
        return what;
    if (!portText.isEmpty()) {
        bool ok = false;
        const uint value = portText.toUInt(&ok);
        if (!ok || value == 0 || value > 65535) {
            const bool digits
                = std::all_of(portText.cbegin(), portText.cend(), [](QChar c) { return c.isDigit(); });
            return digits
                ? QCoreApplication::translate("SourceSpec", "the port must be from 1 to 65535, not %1")
                      .arg(portText)
                : what;
        }
        spec.port = quint16(value);
    }
    if (hostRequired && spec.host.isEmpty())
        return what;
    return std::nullopt;
}

} // namespace

bool isSupportedRate(int rate)
{
    return std::find(SupportedRates.cbegin(), SupportedRates.cend(), rate) != SupportedRates.cend();
}

std::variant<SourceSpec, QString> parseSourceSpec(const QString &raw)
{
    const QString text = raw.trimmed();
    SourceSpec spec;
    if (text.isEmpty())
        return problem(raw, QCoreApplication::translate("SourceSpec", "it is empty"));

    const qsizetype scheme = text.indexOf(QStringLiteral("://"));
    if (scheme < 0) {
        // A device path, with a fixed rate after the last '@'. Paths hold
        // ':' and ',' (by-path names do), so nothing else is split off.
        spec.kind = SourceSpec::Kind::Serial;
        spec.device = text;
        if (const qsizetype at = text.lastIndexOf(QLatin1Char('@')); at >= 0) {
            bool ok = false;
            const int rate = text.mid(at + 1).toInt(&ok);
            if (!ok || !isSupportedRate(rate)) {
                QStringList rates;
                for (int supported : SupportedRates)
                    rates << QString::number(supported);
                return problem(
                    raw,
                    QCoreApplication::translate("SourceSpec", "the bit rate after '@' must be one of %1")
                        .arg(rates.join(QStringLiteral(", "))));
            }
            spec.device = text.left(at);
            spec.rate = rate;
        }
        if (!spec.device.startsWith(QLatin1Char('/')))
            return problem(raw,
                           QCoreApplication::translate("SourceSpec", "a device is named by its full path"));
        return spec;
    }

    const QString kind = text.left(scheme).toLower();
    QString rest = text.mid(scheme + 3);
    if (kind == QLatin1String("tcp")) {
        spec.kind = SourceSpec::Kind::Tcp;
        if (const std::optional<QString> why
            = readHostPort(rest, spec, true, true,
                           QCoreApplication::translate("SourceSpec", "a TCP source needs a host and a port")))
            return problem(raw, *why);
        return spec;
    }
    if (kind == QLatin1String("udp")) {
        spec.kind = SourceSpec::Kind::Udp;
        if (const std::optional<QString> why
            = readHostPort(rest, spec, true, false,
                           QCoreApplication::translate("SourceSpec", "a UDP source needs a port")))
            return problem(raw, *why);
        return spec;
    }
    if (kind == QLatin1String("gpsd")) {
        spec.kind = SourceSpec::Kind::Gpsd;
        spec.port = GpsdPort;
        // gpsd://HOST[:PORT][/DEVICE]: the device is a path of its own.
        if (const qsizetype slash = rest.indexOf(QLatin1Char('/')); slash >= 0) {
            spec.device = rest.mid(slash);
            rest = rest.left(slash);
        }
        if (const std::optional<QString> why
            = readHostPort(rest, spec, false, true,
                           QCoreApplication::translate("SourceSpec", "a gpsd source needs a host")))
            return problem(raw, *why);
        return spec;
    }
    return problem(raw,
                   QCoreApplication::translate("SourceSpec", "\"%1://\" is not a kind of source").arg(kind));
}

QString sourceText(const SourceSpec &spec)
{
    const QString host
        = spec.host.contains(QLatin1Char(':')) ? QLatin1Char('[') + spec.host + QLatin1Char(']') : spec.host;
    switch (spec.kind) {
    case SourceSpec::Kind::Serial:
        return spec.rate ? QStringLiteral("%1@%2").arg(spec.device).arg(*spec.rate) : spec.device;
    case SourceSpec::Kind::Tcp:
        return QStringLiteral("tcp://%1:%2").arg(host).arg(spec.port);
    case SourceSpec::Kind::Udp:
        return QStringLiteral("udp://%1:%2").arg(host).arg(spec.port);
    case SourceSpec::Kind::Gpsd:
        return QStringLiteral("gpsd://%1%2%3")
            .arg(host, spec.port == GpsdPort ? QString() : QStringLiteral(":%1").arg(spec.port), spec.device);
    }
    return {};
}

} // namespace quorvel::link
