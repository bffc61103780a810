// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "average.h"
#include "statistics.h"

#include <QByteArray>
#include <QString>

namespace quorvel {
struct SampleRing;
}

namespace quorvel::average {

// A position in the forms other software takes. Here, as maps and GIS take
// them, north and east are positive (unlike the window's own form).
// The mean's latitude and longitude in degrees.
double latitudeDegrees(const Average &average);
double longitudeDegrees(const Average &average);

// "48.11730000"
QString decimalDegrees(double degrees);
// "48° 07.03800′ N", with `positive` and `negative` the hemisphere letters.
QString degreesMinutes(double degrees, QChar positive, QChar negative);
// "48° 07′ 02.280″ N"
QString degreesMinutesSeconds(double degrees, QChar positive, QChar negative);
// "48.11730000,11.51666667", ready to paste into a map's search box.
QString positionForMaps(const Average &average);
// `value` rounded to `decimals` places, in plain decimal notation (never
// an exponent, never "-0"), as files take numbers: "545.400".
QString fixedText(double value, int decimals);
// "1 h 02 min", "3 min 07 s", "12 s"
QString durationText(int seconds);
// "68 fixes over 1 min 07 s; CEP50 1.2 m, CEP95 3.4 m; mean ±0.9 m (95 %)"
QString spreadDescription(const Spread &spread);

// One row per stored fix, oldest first, with a header row: UTC time (with
// the fraction of the second as sent), latitude and longitude in decimal
// degrees, elevation, fix quality, satellites and HDOP (empty where the
// receiver did not say).
QByteArray fixesAsCsv(const SampleRing &ring);

} // namespace quorvel::average
