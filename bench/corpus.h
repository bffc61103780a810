// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDir>
#include <QFile>

#include <string>
#include <vector>

// Every GGA line of the receiver logs beside this checkout, as received.
inline std::vector<std::string> ggaLinesOfTheLogs()
{
    std::vector<std::string> lines;
    const QDir corpus(QStringLiteral(NMEA_CORPUS));
    for (const QString &name : corpus.entryList({QStringLiteral("*.log")})) {
        QFile log(corpus.filePath(name));
        if (!log.open(QIODevice::ReadOnly))
            continue;
        for (QByteArray line : log.readAll().split('\n')) {
            if (line.endsWith('\r'))
                line.chop(1);
            if (line.indexOf("GGA,") >= 0 && !line.startsWith('#'))
                lines.emplace_back(line.constData(), size_t(line.size()));
        }
    }
    return lines;
}

// A stream of NMEA text as a receiver sends it, at least `size` bytes long.
inline QByteArray nmeaStream(qsizetype size)
{
    QByteArray epoch;
    for (const QByteArray body : {"GPGGA,123519.00,4807.0381,N,01131.0004,E,1,08,0.9,545.4,M,46.9,M,,",
                                  "GPGSA,A,3,04,05,09,12,17,24,25,29,,,,,1.8,0.9,1.5",
                                  "GPRMC,123519.00,A,4807.0381,N,01131.0004,E,0.0,0.0,071226,,,A",
                                  "GPGSV,2,1,08,04,62,131,45,05,35,277,41,09,18,043,38,12,71,310,47"}) {
        char sum = 0;
        for (const char c : body)
            sum ^= c;
        epoch += '$' + body + '*' + QByteArray::number(uchar(sum), 16).rightJustified(2, '0').toUpper()
            + "\r\n";
    }
    QByteArray stream;
    while (stream.size() < size)
        stream += epoch;
    return stream.left(size);
}
