// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Reading a position a person typed or pasted: the forms this program writes
// (decimal degrees, degrees and minutes, degrees, minutes and seconds, UTM,
// UPS, MGRS) and those of survey sheets and other programs. Every figure is
// checked here, so that a refusal says in plain words what is wrong with
// what was typed; GeographicLib only converts what is known to be sound.

#include "grids.h"

#include <GeographicLib/MGRS.hpp>
#include <GeographicLib/UTMUPS.hpp>

#include <QList>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <variant>

namespace quorvel::grids {

namespace {

// A refusal, in words that go into "This is no position that can be read (…)".
struct Refusal
{
    QString why;
};

using Parsed = std::variant<GeoPoint, Refusal>;

// Typed text as the user wrote it, shortened where it is long.
QString quoted(const QString &text)
{
    const QString shown = text.size() > 16 ? text.left(15) + QStringLiteral("\u2026") : text;
    return QStringLiteral("\u201c%1\u201d").arg(shown);
}

// The signs of degrees, minutes and seconds as keyboards, word processors
// and this program write them, reduced to ° ' "; dashes to the minus sign.
QString normalised(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case 0x00BA: // º, the ordinal indicator, on Spanish and Portuguese keyboards
        case 0x02DA: // ˚, the ring above
            out += QChar(0x00B0);
            break;
        case 0x2032: // ′, the prime, as Copy position writes it
        case 0x2018:
        case 0x2019: // ‘ ’, as word processors turn '
        case 0x00B4: // ´
            out += QLatin1Char('\'');
            break;
        case 0x2033: // ″
        case 0x201C:
        case 0x201D: // “ ”
            out += QLatin1Char('"');
            break;
        case 0x2212: // −, the minus sign
        case 0x2013: // –
            out += QLatin1Char('-');
            break;
        default:
            out += c;
        }
    }
    out.replace(QStringLiteral("''"), QStringLiteral("\"")); // two primes for seconds
    return out.simplified(); // no-break and thin spaces included
}

// A number as people write it: digits with at most one point and an
// optional sign. Never an exponent, "nan" or "inf".
std::optional<double> numberOf(const QString &text)
{
    static const QRegularExpression plain(QStringLiteral("^[+-]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)$"));
    if (!plain.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// --- Degrees ------------------------------------------------------------

struct Token
{
    enum Kind { Number, Degrees, Minutes, Seconds, Hemisphere, Separator } kind;
    QString text;
};

// One latitude or longitude as typed: its hemisphere letter, its sign and
// its parts (degrees, minutes, seconds), each with the unit written after
// it (-1 where none is).
struct Coordinate
{
    QChar hemisphere;
    struct Part
    {
        int unit = -1; // 0 degrees, 1 minutes, 2 seconds
        QString text;
    };
    QList<Part> parts;
};

std::variant<QList<Token>, Refusal> tokens(const QString &text)
{
    QList<Token> out;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        if (c == QLatin1Char(' ') || c == QLatin1Char(':')) { // 48:07:02.3 as some receivers print it
            ++i;
        } else if (c == QLatin1Char(',') || c == QLatin1Char(';')) {
            out.append({Token::Separator, c});
            ++i;
        } else if (c == QChar(0x00B0) || c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            if (out.isEmpty() || out.last().kind != Token::Number)
                return Refusal{QStringLiteral("%1 follows no number").arg(quoted(QString(c)))};
            out.append({c == QChar(0x00B0)           ? Token::Degrees
                            : c == QLatin1Char('\'') ? Token::Minutes
                                                     : Token::Seconds,
                        c});
            ++i;
        } else if (c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char('+') || c == QLatin1Char('-')) {
            qsizetype end = i + 1;
            while (end < text.size() && (text[end].isDigit() || text[end] == QLatin1Char('.')))
                ++end;
            const QString number = text.mid(i, end - i);
            if (!numberOf(number))
                return Refusal{QStringLiteral("%1 is not a number").arg(quoted(number))};
            out.append({Token::Number, number});
            i = end;
        } else if (c.isLetter()) {
            qsizetype end = i + 1;
            while (end < text.size() && text[end].isLetter())
                ++end;
            const QString word = text.mid(i, end - i);
            const QString upper = word.toUpper();
            // "4.8e1": an exponent, which no one writes in a position; a
            // capital E between figures is a hemisphere ("48.1N11.5E").
            if (word == QLatin1String("e") && i > 0 && text[i - 1].isDigit() && end < text.size()
                && (text[end].isDigit() || text[end] == QLatin1Char('-') || text[end] == QLatin1Char('+'))) {
                qsizetype from = i, to = end + 1;
                while (from > 0 && (text[from - 1].isDigit() || text[from - 1] == QLatin1Char('.')))
                    --from;
                while (to < text.size() && text[to].isDigit())
                    ++to;
                return Refusal{QStringLiteral("%1 is not a number").arg(quoted(text.mid(from, to - from)))};
            }
            // "48d07.038N": d for degrees, right after the number.
            if (upper == QLatin1String("D") && !out.isEmpty() && out.last().kind == Token::Number && i > 0
                && text[i - 1] != QLatin1Char(' ')) {
                out.append({Token::Degrees, word});
            } else if (upper.size() == 1 && QStringLiteral("NSEW").contains(upper)) {
                out.append({Token::Hemisphere, upper});
            } else if (upper == QLatin1String("NAN") || upper.startsWith(QLatin1String("INF"))) {
                return Refusal{QStringLiteral("%1 is not a number").arg(quoted(word))};
            } else {
                return Refusal{QStringLiteral("%1 is not part of a position").arg(quoted(word))};
            }
            i = end;
        } else {
            return Refusal{QStringLiteral("%1 is not part of a position").arg(quoted(QString(c)))};
        }
    }
    return out;
}

// The coordinates the tokens give: hemisphere letters and commas end one
// (or, where the letters come first, begin one); a degrees sign after
// minutes or seconds, or a number after seconds, begins the next.
std::variant<QList<Coordinate>, Refusal> coordinates(const QList<Token> &tokens)
{
    QList<Coordinate> out;
    Coordinate current;
    const bool lettersFirst = !tokens.isEmpty() && tokens.first().kind == Token::Hemisphere;
    const auto finish = [&] {
        if (!current.parts.isEmpty() || !current.hemisphere.isNull())
            out.append(current);
        current = {};
    };
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const Token &token = tokens[i];
        switch (token.kind) {
        case Token::Hemisphere:
            if (lettersFirst) {
                finish();
                current.hemisphere = token.text.at(0);
            } else {
                if (current.parts.isEmpty())
                    return Refusal{QStringLiteral("%1 follows no number").arg(quoted(token.text))};
                current.hemisphere = token.text.at(0);
                finish();
            }
            break;
        case Token::Separator:
            if (lettersFirst && current.parts.isEmpty() && !current.hemisphere.isNull())
                return Refusal{
                    QStringLiteral("%1 is followed by no number").arg(quoted(QString(current.hemisphere)))};
            finish();
            break;
        case Token::Number: {
            int unit = -1;
            if (i + 1 < tokens.size() && tokens[i + 1].kind >= Token::Degrees
                && tokens[i + 1].kind <= Token::Seconds)
                unit = tokens[++i].kind - Token::Degrees;
            if (!current.parts.isEmpty()) {
                const int last = current.parts.last().unit;
                if ((unit == 0) || last == 2)
                    finish(); // the next coordinate
            }
            current.parts.append({unit, token.text});
            break;
        }
        default: // a sign of degrees, minutes or seconds is taken with its number
            break;
        }
    }
    finish();
    // "-33.5 151.2", "48 07 02.284 11 31 00.010": bare numbers, half each.
    if (out.size() == 1 && out[0].hemisphere.isNull()) {
        const QList<Coordinate::Part> parts = out[0].parts;
        const bool bare = std::all_of(parts.begin(), parts.end(), [](const auto &p) { return p.unit < 0; });
        if (bare && parts.size() % 2 == 0 && parts.size() <= 6) {
            out = {Coordinate{{}, parts.mid(0, parts.size() / 2)},
                   Coordinate{{}, parts.mid(parts.size() / 2)}};
        } else if (bare && parts.size() > 1) {
            return Refusal{QStringLiteral("it cannot be told where the latitude ends and the longitude "
                                          "begins; put a comma between them")};
        }
    }
    if (out.size() < 2)
        return Refusal{QStringLiteral("it gives one coordinate, not a latitude and a longitude")};
    if (out.size() > 2)
        return Refusal{QStringLiteral("it gives more than a latitude and a longitude")};
    return out;
}

// The coordinate in degrees, its sign from the hemisphere letter.
std::variant<double, Refusal> degreesOf(const Coordinate &coordinate)
{
    const QList<Coordinate::Part> &parts = coordinate.parts;
    if (parts.isEmpty())
        return Refusal{
            QStringLiteral("%1 is followed by no number").arg(quoted(QString(coordinate.hemisphere)))};
    double degrees = 0;
    int unit = -1; // of the part before
    bool negative = false;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString &text = parts[i].text;
        const int before = unit;
        unit = parts[i].unit >= 0 ? parts[i].unit : unit + 1;
        if (i == 0 && unit != 0)
            return Refusal{QStringLiteral("%1 has no degrees before it").arg(quoted(text))};
        if (unit > 2 || unit <= before)
            return Refusal{QStringLiteral("%1 is one figure too many").arg(quoted(text))};
        if (i > 0 && (text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+'))))
            return Refusal{QStringLiteral("%1 has a sign; only the degrees may have one").arg(quoted(text))};
        if (i + 1 < parts.size() && text.contains(QLatin1Char('.')))
            return Refusal{QStringLiteral("%1 has decimals, but figures follow it").arg(quoted(text))};
        const double value = std::fabs(*numberOf(text));
        if (unit > 0 && value >= 60)
            return Refusal{(unit == 1 ? QStringLiteral("%1 minutes: minutes run up to 60")
                                      : QStringLiteral("%1 seconds: seconds run up to 60"))
                               .arg(quoted(text))};
        if (i == 0)
            negative = text.startsWith(QLatin1Char('-'));
        degrees += value / std::pow(60.0, unit);
    }
    if (!coordinate.hemisphere.isNull()) {
        if (parts[0].text.startsWith(QLatin1Char('-')) || parts[0].text.startsWith(QLatin1Char('+')))
            return Refusal{QStringLiteral("%1 has a sign and the letter %2; give one of them")
                               .arg(quoted(parts[0].text), coordinate.hemisphere)};
        negative = coordinate.hemisphere == QLatin1Char('S') || coordinate.hemisphere == QLatin1Char('W');
    }
    return negative ? -degrees : degrees;
}

Parsed degreesPosition(const QString &text)
{
    const auto tokenised = tokens(text);
    if (const auto *refused = std::get_if<Refusal>(&tokenised))
        return *refused;
    const auto found = coordinates(std::get<QList<Token>>(tokenised));
    if (const auto *refused = std::get_if<Refusal>(&found))
        return *refused;
    const QList<Coordinate> pair = std::get<QList<Coordinate>>(found);
    const auto isLatitude = [](QChar h) { return h == QLatin1Char('N') || h == QLatin1Char('S'); };
    // Which is which: the letters say; without them, the latitude first.
    bool latitudeFirst = true;
    const QChar first = pair[0].hemisphere, second = pair[1].hemisphere;
    if (!first.isNull() && !second.isNull() && isLatitude(first) == isLatitude(second))
        return Refusal{isLatitude(first) ? QStringLiteral("both coordinates are latitudes (N or S)")
                                         : QStringLiteral("both coordinates are longitudes (E or W)")};
    if (!first.isNull())
        latitudeFirst = isLatitude(first);
    else if (!second.isNull())
        latitudeFirst = !isLatitude(second);
    const Coordinate &latitudeTyped = pair[latitudeFirst ? 0 : 1],
                     &longitudeTyped = pair[latitudeFirst ? 1 : 0];
    const auto latitude = degreesOf(latitudeTyped), longitude = degreesOf(longitudeTyped);
    for (const auto *value : {&latitude, &longitude})
        if (const auto *refused = std::get_if<Refusal>(value))
            return *refused;
    const double lat = std::get<double>(latitude), lon = std::get<double>(longitude);
    if (std::fabs(lat) > 90)
        return Refusal{QStringLiteral("the latitude %1 lies beyond the pole (90\u00b0)")
                           .arg(quoted(latitudeTyped.parts[0].text))};
    if (std::fabs(lon) > 180)
        return Refusal{QStringLiteral("the longitude %1 lies beyond 180\u00b0")
                           .arg(quoted(longitudeTyped.parts[0].text))};
    return GeoPoint{lat, lon};
}

// --- Grids --------------------------------------------------------------

// The latitude bands of UTM, 8 degrees each from 80° S; X reaches to 84° N.
constexpr QLatin1StringView Bands("CDEFGHJKLMNPQRSTUVWX");

QChar bandOf(double latitude)
{
    const int index = std::clamp(int(std::floor((latitude + 80) / 8)), 0, int(Bands.size()) - 1);
    return Bands[index];
}

// A zone as typed, 1 to 60.
std::optional<int> zoneOf(const QString &text)
{
    if (text.size() > 2)
        return std::nullopt;
    const int zone = text.toInt();
    return zone >= 1 && zone <= 60 ? std::optional(zone) : std::nullopt;
}

// Easting and northing in metres on the UTM grid of `zone` (0: the polar
// grid) and hemisphere, in the ranges GeographicLib converts.
Parsed gridPosition(int zone, bool north, const QString &eastingText, const QString &northingText)
{
    const std::optional<double> easting = numberOf(eastingText), northing = numberOf(northingText);
    if (!easting)
        return Refusal{QStringLiteral("the easting %1 is not a number").arg(quoted(eastingText))};
    if (!northing)
        return Refusal{QStringLiteral("the northing %1 is not a number").arg(quoted(northingText))};
    if (zone == 0) {
        // The polar grids reach to 84° N and 80° S, with some overlap.
        const double low = north ? 1200000 : 700000, high = north ? 2800000 : 3300000;
        for (const double value : {*easting, *northing})
            if (value < low || value > high)
                return Refusal{(north
                                    ? QStringLiteral("eastings and northings of the northern polar grid run "
                                                     "from 1200000 to 2800000 m")
                                    : QStringLiteral("eastings and northings of the southern polar grid run "
                                                     "from 700000 to 3300000 m"))};
    } else {
        if (*easting < 0 || *easting > 1000000)
            return Refusal{QStringLiteral("the easting %1 lies outside the zone (0 to 1000000 m)")
                               .arg(quoted(eastingText))};
        if (north ? *northing > 9600000 : *northing < 900000 || *northing > 10000000)
            return Refusal{(north
                                ? QStringLiteral("the northing %1 lies beyond the grid north of the equator "
                                                 "(0 to 9600000 m)")
                                : QStringLiteral("the northing %1 lies beyond the grid south of the equator "
                                                 "(900000 to 10000000 m)"))
                               .arg(quoted(northingText))};
    }
    GeoPoint point;
    try {
        GeographicLib::UTMUPS::Reverse(zone, north, *easting, *northing, point.latitude, point.longitude);
    } catch (const GeographicLib::GeographicErr &) {
        return Refusal{QStringLiteral("the easting and northing lie outside the grid")};
    }
    return point;
}

// "UTM 32U 687302 5332401", "32U 687302 5332401", "32n 687302mE 5332401mN":
// zone and band (or, without "UTM" in front, N or S for the hemisphere, as
// GeographicLib writes it), easting and northing in metres.
std::optional<Parsed> utmPosition(const QString &upper)
{
    static const QRegularExpression utm(QStringLiteral("^(?:UTM ?([0-9]+) ?([A-Z])|([0-9]+)([A-Z])) "
                                                       "([0-9.+-]+) ?(?:ME|M|E)? ([0-9.+-]+) ?(?:MN|M|N)?$"));
    const QRegularExpressionMatch m = utm.match(upper);
    if (!m.hasMatch())
        return std::nullopt;
    const bool named = m.capturedLength(1) > 0;
    const QString zoneText = m.captured(named ? 1 : 3);
    const QChar letter = m.captured(named ? 2 : 4).at(0);
    const std::optional<int> zone = zoneOf(zoneText);
    if (!zone)
        return Refusal{QStringLiteral("UTM zones are 1 to 60, not %1").arg(quoted(zoneText))};
    const bool hemisphere = !named && (letter == QLatin1Char('N') || letter == QLatin1Char('S'));
    if (!hemisphere && !Bands.contains(letter))
        return Refusal{
            QStringLiteral("there is no latitude band %1 in UTM (C to X, without I and O)").arg(letter)};
    const bool north = hemisphere ? letter == QLatin1Char('N') : letter >= QLatin1Char('N');
    Parsed point = gridPosition(*zone, north, m.captured(5), m.captured(6));
    // The band is said twice, by its letter and by the northing: they agree
    // (to some metres, for a position rounded at a band's edge).
    if (const GeoPoint *p = std::get_if<GeoPoint>(&point); p && !hemisphere) {
        constexpr double Slack = 1e-4; // degrees, some 11 m
        if (bandOf(p->latitude - Slack) != letter && bandOf(p->latitude + Slack) != letter) {
            if (std::fabs(p->latitude) > (p->latitude > 0 ? 84 : 80))
                return Refusal{
                    QStringLiteral("the northing %1 lies beyond the latitude bands, on the polar grid")
                        .arg(quoted(m.captured(6)))};
            return Refusal{QStringLiteral("the northing %1 lies in latitude band %2, not %3")
                               .arg(quoted(m.captured(6)), bandOf(p->latitude), letter)};
        }
    }
    return point;
}

// "UPS N 2000000 2000000": the polar grid, with N or S (or its bands, A and
// B in the south, Y and Z in the north).
std::optional<Parsed> upsPosition(const QString &upper)
{
    static const QRegularExpression ups(
        QStringLiteral("^UPS ?([A-Z]) ([0-9.+-]+) ?(?:ME|M|E)? ([0-9.+-]+) ?(?:MN|M|N)?$"));
    const QRegularExpressionMatch m = ups.match(upper);
    if (!m.hasMatch())
        return std::nullopt;
    const QChar letter = m.captured(1).at(0);
    if (!QStringLiteral("NSABYZ").contains(letter))
        return Refusal{
            QStringLiteral("the polar grid takes N or S (or its bands A, B, Y, Z), not %1").arg(letter)};
    return gridPosition(0, QStringLiteral("NYZ").contains(letter), m.captured(2), m.captured(3));
}

// "32UPU8730232401", "32U PU 87302 32401", "Z AH 00000 00000": the grid
// zone, the 100 km square and as many figures of easting as of northing.
std::optional<Parsed> mgrsPosition(const QString &upper)
{
    static const QRegularExpression mgrs(
        QStringLiteral("^([0-9]*) ?([A-Z]) ?([A-Z][A-Z]) ?([0-9.]*) ?([0-9.]*)$"));
    const QRegularExpressionMatch m = mgrs.match(upper);
    if (!m.hasMatch())
        return std::nullopt;
    const QString zoneText = m.captured(1);
    const QChar band = m.captured(2).at(0);
    QString easting = m.captured(4), northing = m.captured(5);
    if (!zoneText.isEmpty()) {
        if (!zoneOf(zoneText))
            return Refusal{QStringLiteral("UTM zones are 1 to 60, not %1").arg(quoted(zoneText))};
        if (!Bands.contains(band))
            return Refusal{
                QStringLiteral("there is no latitude band %1 in MGRS (C to X, without I and O)").arg(band)};
    } else if (!QStringLiteral("ABYZ").contains(band)) {
        return Refusal{
            QStringLiteral("an MGRS reference begins with its zone, 1 to 60, or a polar band A, B, Y or Z")};
    }
    for (const QString &figures : {easting, northing})
        if (figures.contains(QLatin1Char('.')))
            return Refusal{
                QStringLiteral("the figures %1 of an MGRS reference are whole metres").arg(quoted(figures))};
    if (northing.isEmpty()) { // all figures in one run: half each
        if (easting.size() % 2)
            return Refusal{QStringLiteral("an MGRS reference has as many figures of easting as of northing")};
        northing = easting.mid(easting.size() / 2);
        easting.truncate(easting.size() / 2);
    }
    if (easting.size() != northing.size())
        return Refusal{QStringLiteral("an MGRS reference has as many figures of easting as of northing")};
    if (easting.size() > 5)
        return Refusal{
            QStringLiteral("an MGRS reference has at most five figures each for easting and northing")};
    const QString reference = zoneText + band + m.captured(3) + easting + northing;
    int zone = 0;
    bool north = false;
    double x = 0, y = 0;
    int precision = 0;
    GeoPoint point;
    try {
        // The centre of the square the reference names, as MGRS means it.
        GeographicLib::MGRS::Reverse(reference.toStdString(), zone, north, x, y, precision, true);
        GeographicLib::UTMUPS::Reverse(zone, north, x, y, point.latitude, point.longitude);
    } catch (const GeographicLib::GeographicErr &) {
        return Refusal{
            QStringLiteral("there is no square %1 in grid zone %2").arg(m.captured(3), zoneText + band)};
    }
    return point;
}

} // namespace

std::optional<GeoPoint> parsePosition(const QString &text, QString *error)
{
    const QString input = normalised(text);
    const auto fail = [error](const QString &why) -> std::optional<GeoPoint> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (input.isEmpty())
        return fail(QStringLiteral("no position given"));
    const QString upper = input.toUpper();
    std::optional<Parsed> parsed = utmPosition(upper);
    if (!parsed)
        parsed = upsPosition(upper);
    if (!parsed)
        parsed = mgrsPosition(upper);
    if (!parsed && upper.startsWith(QLatin1String("UTM")))
        return fail(QStringLiteral("a UTM position is its zone and band, easting and northing, as in "
                                   "UTM 32U 687302 5332401"));
    if (!parsed && upper.startsWith(QLatin1String("UPS")))
        return fail(QStringLiteral("a UPS position is its hemisphere, easting and northing, as in "
                                   "UPS N 2000000 2000000"));
    if (!parsed)
        parsed = degreesPosition(input);
    if (const auto *refused = std::get_if<Refusal>(&*parsed))
        return fail(refused->why);
    return std::get<GeoPoint>(*parsed);
}

} // namespace quorvel::grids
