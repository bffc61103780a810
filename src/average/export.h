// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "average.h"
#include "statistics.h"

#include <QByteArray>
#include <QString>

#include <optional>

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
// `value` rounded to `decimals` places; never negative zero. Values too
// large to have such places are left as they are.
double rounded(double value, int decimals);
// Whether a number's text keeps the zeros at the end of its fraction.
enum class Zeros { Kept, Trimmed };
// `value` rounded to `decimals` places, in plain decimal notation (never
// an exponent, never "-0"), with `separator` before the fraction: "545.400"
// as files take numbers, "0,84" for a window in German; trimmed: "545.4",
// "10". Every metre figure is written so.
QString fixedText(double value, int decimals, QStringView separator = u".", Zeros zeros = Zeros::Kept);
// "1 h 02 min", "3 min 07 s", "12 s"
QString durationText(int seconds);
// A text that counts, "%n fix(es)", in the plural form for `count` ("1 fix",
// "2 fixes") that the program's English gives it (src/app/translations,
// installed with the window).
QString countedText(const char *text, int count);
// "1 fix", "68 fixes"; with a span, "68 fixes over 1 min 07 s".
QString fixesText(int count, std::optional<int> spanSeconds = std::nullopt);
// The uncertainty of the mean as its 95 % figure, "±0.84 m (95 %)", or
// "too short to tell how good the mean is" where there is none.
QString uncertaintyText(std::optional<double> radius, QStringView separator = u".");
// What the window's status line and the point files say of the fixes: "68
// fixes over 1 min 07 s; CEP50 1.20 m, CEP95 3.40 m; uncertainty of the
// mean ±0.84 m (95 %) horizontally, ±1.31 m (95 %) vertically", or that
// the session is too short to tell how good the mean is.
QString spreadDescription(const Spread &spread, QStringView separator = u".");

// One row per stored fix, oldest first, with a header row: UTC time (with
// the fraction of the second as sent), latitude and longitude in decimal
// degrees, elevation, fix quality, satellites and HDOP (empty where the
// receiver did not say).
QByteArray fixesAsCsv(const SampleRing &ring);

} // namespace quorvel::average
