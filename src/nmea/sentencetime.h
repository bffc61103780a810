// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "gga.h"

#include <optional>
#include <string_view>

namespace quorvel::nmea {

// A calendar date as a sentence gives it (UTC).
struct Date
{
    int year = 0;
    int month = 0;
    int day = 0;

    friend auto operator<=>(const Date &, const Date &) = default;
};

enum class TimeSentence { Gga, Rmc, Gns, Zda };

// What one sentence says of UTC: the time of day with the fraction of the
// second as sent, and the date where the sentence carries one.
struct SentenceTime
{
    TimeSentence sentence = TimeSentence::Gga;
    TimeOfDay time;
    std::optional<Date> date;

    friend bool operator==(const SentenceTime &, const SentenceTime &) = default;
};

// The UTC time of a sentence that states it for a measured fix, any talker:
//   GGA  a fix decodeGga() takes, with a valid time field
//   RMC  status A, and a fix mode (where sent) that is measured; with the date
//        $GPRMC,193221.00,A,2037.7279,N,08704.0848,W,00.1,201.8,231207,01,W,A*2D
//   GNS  the mode of at least one satellite system is a measured fix
//        $GNGNS,043539.00,4333.190206,N,00127.618380,E,AAAAN,14,1.3,250.8,50.0,,,V*62
//   ZDA  the time and date alone, which receivers also send before their
//        first fix: the caller decides whether a fix stands behind it
//        $GPZDA,193223.00,23,12,2007,00,00*69
// A measured fix mode is A (autonomous), D (differential), P (precise), R
// (RTK fixed) or F (RTK float); N (none), E (estimated), M (manual) and S
// (simulator) are refused, as GGA's qualities 0, 6, 7 and 8 are. Nothing for
// any other sentence, a wrong checksum or a time field that is no hhmmss.
// A date that is no calendar date is left out; the time stays.
std::optional<SentenceTime> decodeTime(std::string_view line);

} // namespace quorvel::nmea
