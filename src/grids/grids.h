// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <optional>

namespace quorvel::grids {

// A position on the WGS 84 ellipsoid in decimal degrees, north and east positive.
struct GeoPoint
{
    double latitude = 0;
    double longitude = 0;
};

// The position on the UTM grid, "UTM 32U 687302 5332401": zone and latitude
// band, easting and northing in whole metres (rounded). North of 84 degrees
// and south of 80 degrees south, on the UPS grid: "UPS N 2000000 2000000",
// with N or S for the hemisphere. The zones follow the standard, with
// Norway's and Svalbard's exceptions. Empty for a position that is none.
QString utmText(const GeoPoint &point);

// The position as an MGRS reference to one metre (truncated, as MGRS
// references are), grouped: "32U PU 87302 32401"; near the poles
// "Z AH 00000 00000". Empty for a position that is none.
QString mgrsText(const GeoPoint &point);

// A typed or pasted position, in every form this program writes and the
// usual forms of survey sheets: decimal degrees ("48.1173,11.5167",
// "-33.5 151.2", "48.1173 N, 11.5167 E"), degrees and minutes ("48° 07.038′
// N, 11° 31.000′ E", "48d07.038N 11d31W"), degrees, minutes and seconds
// ("48° 07′ 02.284″ N, 11° 31′ 00.010″ E", "48°07'02.3\"N 11°31'E",
// "48 07 02.284 N 11 31 00.010 E", "N 48 07 02.284 E 11 31 00.010"), UTM
// or UPS ("UTM 32U 687302 5332401", "32n 687302mE 5332401mN",
// "UPS N 2000000 2000000") or MGRS ("32UPU8730232401", "32U PU 87302 32401").
// Latitude first, unless the hemisphere letters say otherwise. Nothing for
// text that is none of these, or gives a figure out of its range, a UTM
// band that its northing contradicts, or something that is not a number
// ("nan", "1.2.3"); `error` then says why, in a clause for a sentence.
std::optional<GeoPoint> parsePosition(const QString &text, QString *error = nullptr);

// A known point seen from the mean, on the ellipsoid: how far, in metres;
// the bearing, in degrees clockwise from true north (0 to 360); and whether
// it lies within the mean's 95 % radius, where there is one.
struct Comparison
{
    double distance = 0;
    double bearing = 0;
    std::optional<bool> withinRadius;
};

Comparison compareWith(const GeoPoint &mean, const GeoPoint &known, std::optional<double> radius95);

// "12.34 m"; from a kilometre on "1.234 km", with `separator` before a fraction.
QString distanceText(double metres, QStringView separator = u".");

// "12.34 m at 123°"; just "0.00 m" where the distance reads so, as a
// direction beside it would be noise.
QString legText(const Comparison &comparison, QStringView separator = u".");

// "Known point: 12.34 m at 123° from the mean; within the 95 % radius"
// (or outside it, or too short to tell); beyond a kilometre in km, with
// `separator` before a fraction. Brief, as two short lines for the status
// line: "Known point: 12.34 m at 123°.\nWithin the 95 % radius."
enum class Wording { Whole, Brief };
QString comparisonText(const Comparison &comparison, QStringView separator = u".",
                       Wording wording = Wording::Whole);

} // namespace quorvel::grids
