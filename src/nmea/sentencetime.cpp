// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sentencetime.h"

#include "fields.h"

#include <array>
#include <chrono>

namespace quorvel::nmea {

namespace {

using fields::allDigits;
using fields::twoDigits;

bool isMeasuredMode(char mode)
{
    return mode == 'A' || mode == 'D' || mode == 'P' || mode == 'R' || mode == 'F';
}

std::optional<Date> calendarDate(int year, int month, int day)
{
    const std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(unsigned(month)),
                                           std::chrono::day(unsigned(day))};
    if (!date.ok())
        return std::nullopt;
    return Date{year, month, day};
}

// RMC's ddmmyy. Its two-digit year is read as 1980 to 2079: GPS time starts
// in 1980, and a receiver whose week number has rolled over reports a date
// 1,024 weeks back (1999 in 2019), which must stay in the past rather than
// become 2099.
std::optional<Date> rmcDate(std::string_view field)
{
    if (field.size() != 6 || !allDigits(field))
        return std::nullopt;
    const int yy = twoDigits(field, 4);
    return calendarDate(yy < 80 ? 2000 + yy : 1900 + yy, twoDigits(field, 2), twoDigits(field, 0));
}

// ZDA's day, month and four-digit year, each in a field of its own.
std::optional<Date> zdaDate(std::string_view day, std::string_view month, std::string_view year)
{
    if (day.size() != 2 || month.size() != 2 || year.size() != 4 || !allDigits(day) || !allDigits(month)
        || !allDigits(year))
        return std::nullopt;
    return calendarDate(twoDigits(year, 0) * 100 + twoDigits(year, 2), twoDigits(month, 0),
                        twoDigits(day, 0));
}

// Sentences of a talker whose name starts with P are proprietary, and a few
// carry a type that looks like a standard one (Garmin's $PGRMC is a
// configuration, not RMC).
bool isProprietary(std::string_view line)
{
    line = lastSentence(line);
    return line.size() > 1 && line[1] == 'P';
}

std::optional<SentenceTime> decodeRmc(std::string_view body)
{
    enum {
        Time,
        Status,
        Latitude,
        NorthSouth,
        Longitude,
        EastWest,
        Speed,
        Course,
        DateField,
        Variation,
        VariationSide,
        Mode,
        FieldCount
    };
    std::array<std::string_view, FieldCount> field;
    const std::size_t found = fields::splitFields(body, field);
    if (found <= Status || field[Status] != "A")
        return std::nullopt;
    // The mode came with NMEA 2.3; an older receiver's status says it all.
    if (found > Mode && !field[Mode].empty() && !isMeasuredMode(field[Mode][0]))
        return std::nullopt;
    const std::optional<TimeOfDay> time = parseTimeField(field[Time]);
    if (!time)
        return std::nullopt;
    return SentenceTime{TimeSentence::Rmc, *time, rmcDate(field[DateField])};
}

std::optional<SentenceTime> decodeGns(std::string_view body)
{
    enum { Time, Latitude, NorthSouth, Longitude, EastWest, Mode, FieldCount };
    std::array<std::string_view, FieldCount> field;
    if (fields::splitFields(body, field) <= Mode)
        return std::nullopt;
    // One letter for each satellite system (GPS, GLONASS, Galileo, BeiDou...):
    // "AAAAN" is a fix, although one system has none.
    bool measured = false;
    for (const char mode : field[Mode])
        measured = measured || isMeasuredMode(mode);
    const std::optional<TimeOfDay> time = parseTimeField(field[Time]);
    if (!measured || !time)
        return std::nullopt;
    return SentenceTime{TimeSentence::Gns, *time, std::nullopt};
}

std::optional<SentenceTime> decodeZda(std::string_view body)
{
    enum { Time, Day, Month, Year, FieldCount };
    std::array<std::string_view, FieldCount> field;
    fields::splitFields(body, field);
    const std::optional<TimeOfDay> time = parseTimeField(field[Time]);
    if (!time)
        return std::nullopt;
    return SentenceTime{TimeSentence::Zda, *time, zdaDate(field[Day], field[Month], field[Year])};
}

} // namespace

std::optional<SentenceTime> decodeTime(std::string_view line)
{
    if (namesGga(line)) {
        const std::optional<GgaFix> fix = decodeGga(line);
        if (!fix || !fix->utc)
            return std::nullopt;
        return SentenceTime{TimeSentence::Gga, *fix->utc, std::nullopt};
    }
    if (isProprietary(line))
        return std::nullopt;
    if (const std::optional<std::string_view> body = fields::sentenceFields(line, "RMC"))
        return decodeRmc(*body);
    if (const std::optional<std::string_view> body = fields::sentenceFields(line, "GNS"))
        return decodeGns(*body);
    if (const std::optional<std::string_view> body = fields::sentenceFields(line, "ZDA"))
        return decodeZda(*body);
    return std::nullopt;
}

} // namespace quorvel::nmea
