// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export.h"

#include "numbertext.h"
#include "ring/samplering.h"

#include <QCoreApplication>

#include <cmath>
#include <cstdlib>

namespace quorvel::average {

namespace {

// Every number written is in plain decimal notation, never with an exponent
// (fixedText() and this): GPX takes XML Schema decimals, and spreadsheets
// take either. Here up to 15 significant digits, no trailing zeros: a value
// as the receiver sent it.
QString number(double value)
{
    return QString::fromStdString(numberText(value, "."));
}

QChar hemisphere(double degrees, QChar positive, QChar negative)
{
    return degrees < 0 ? negative : positive;
}

// GPX, and most software, take longitudes from -180 up to, not including,
// 180: the 180th meridian is -180, also where the 8 decimals written round
// up to it.
double belowAntimeridian(double longitude)
{
    return longitude >= 180 - 0.5e-8 ? longitude - 360 : longitude;
}

// NMEA ddmm.mmmm, signed, to degrees with north and east positive.
double degreesOf(double nmea, bool westPositive)
{
    const double degrees = nmeaToMinutes(nmea) / 60;
    return westPositive ? belowAntimeridian(-degrees) : degrees;
}

// "12:35:19", or with the fraction of the second in the receiver's digits:
// "12:00:00.10".
QString utcText(const nmea::TimeOfDay &utc)
{
    QString text = QStringLiteral("%1:%2:%3")
                       .arg(utc.hour, 2, 10, QLatin1Char('0'))
                       .arg(utc.minute, 2, 10, QLatin1Char('0'))
                       .arg(utc.second, 2, 10, QLatin1Char('0'));
    if (utc.fractionDigits > 0)
        text += QLatin1Char('.')
            + QString::number(utc.nanosecond).rightJustified(9, QLatin1Char('0')).left(utc.fractionDigits);
    return text;
}

} // namespace

double latitudeDegrees(const Average &average)
{
    return average.latMinutes / 60;
}

double longitudeDegrees(const Average &average)
{
    return belowAntimeridian(-wrapNear(average.lonMinutes, 0) / 60); // NMEA signs west positive
}

QString decimalDegrees(double degrees)
{
    return fixedText(degrees, 8);
}

QString degreesMinutes(double degrees, QChar positive, QChar negative)
{
    // Rounded once, to 1e-5 minutes, so that 59.999999 carries into the degree.
    const long long total = std::llround(std::fabs(degrees) * 60 * 1e5);
    return QStringLiteral("%1\u00b0 %2\u2032 %3")
        .arg(total / 6'000'000)
        .arg(fixedText(double(total % 6'000'000) / 1e5, 5).rightJustified(8, QLatin1Char('0')))
        .arg(hemisphere(degrees, positive, negative));
}

QString degreesMinutesSeconds(double degrees, QChar positive, QChar negative)
{
    const long long total = std::llround(std::fabs(degrees) * 3600 * 1e3);
    return QStringLiteral("%1\u00b0 %2\u2032 %3\u2033 %4")
        .arg(total / 3'600'000)
        .arg(total / 60'000 % 60, 2, 10, QLatin1Char('0'))
        .arg(fixedText(double(total % 60'000) / 1e3, 3).rightJustified(6, QLatin1Char('0')))
        .arg(hemisphere(degrees, positive, negative));
}

QString positionForMaps(const Average &average)
{
    return decimalDegrees(latitudeDegrees(average)) + QLatin1Char(',')
        + decimalDegrees(longitudeDegrees(average));
}

double rounded(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    if (std::fabs(value) * scale < 0x1p53)
        value = std::round(value * scale) / scale + 0.0; // so that a tiny negative value is "0", not "-0"
    return value;
}

QString fixedText(double value, int decimals, QStringView separator, Zeros zeros)
{
    QString text = QString::number(rounded(value, decimals), 'f', decimals);
    if (zeros == Zeros::Trimmed && text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text.replace(QLatin1Char('.'), separator.toString());
}

QString durationText(int seconds)
{
    if (seconds >= 3600)
        return QStringLiteral("%1 h %2 min")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
    if (seconds >= 60)
        return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 s").arg(seconds);
}

QString countedText(const char *text, int count)
{
    return QCoreApplication::translate("quorvel::average", text, nullptr, count);
}

QString fixesText(int count, std::optional<int> spanSeconds)
{
    return spanSeconds ? countedText("%n fix(es) over %1", count).arg(durationText(*spanSeconds))
                       : countedText("%n fix(es)", count);
}

QString uncertaintyText(std::optional<double> radius, QStringView separator)
{
    return radius ? QStringLiteral("\u00b1%1 m (95 %)").arg(fixedText(*radius, 2, separator))
                  : QStringLiteral("too short to tell how good the mean is");
}

QString spreadDescription(const Spread &spread, QStringView separator)
{
    const MeanUncertainty &mean = spread.mean;
    const QString uncertainty = mean.horizontal95 && mean.vertical95
        ? QStringLiteral("uncertainty of the mean %1 horizontally, %2 vertically")
              .arg(uncertaintyText(mean.horizontal95, separator), uncertaintyText(mean.vertical95, separator))
        : uncertaintyText(std::nullopt);
    return QStringLiteral("%1; CEP50 %2 m, CEP95 %3 m; %4")
        .arg(fixesText(spread.count, spread.spanSeconds), fixedText(spread.cep50, 2, separator),
             fixedText(spread.cep95, 2, separator), uncertainty);
}

QByteArray fixesAsCsv(const SampleRing &ring)
{
    QByteArray csv = "time_utc,latitude,longitude,elevation_m,fix_quality,satellites,hdop\r\n";
    for (int age = 0; age < ring.SampleCount; ++age) {
        const int slot = ring.slotOf(age);
        const FixDetails &d = ring.DetailSamples[slot];
        QString row;
        if (d.utc)
            row += utcText(*d.utc);
        row += QLatin1Char(',') + decimalDegrees(degreesOf(ring.LatSamples[slot], false)) + QLatin1Char(',')
            + decimalDegrees(degreesOf(ring.LonSamples[slot], true)) + QLatin1Char(',')
            + number(ring.ElevSamples[slot]) + QLatin1Char(',')
            + (d.quality >= 0 ? QString::number(d.quality) : QString()) + QLatin1Char(',')
            + (d.satellites >= 0 ? QString::number(d.satellites) : QString()) + QLatin1Char(',')
            + (std::isfinite(d.hdop) ? number(d.hdop) : QString());
        csv += row.toLatin1() + "\r\n";
    }
    return csv;
}

} // namespace quorvel::average
