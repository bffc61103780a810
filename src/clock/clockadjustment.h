// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "nmea/gga.h"
#include "nmea/sentencetime.h"

#include <QDateTime>
#include <QString>
#include <QTime>
#include <QTimeZone>

#include <chrono>
#include <optional>

namespace quorvel::clock {

// A reading of UTC to the microsecond, as the PC's clock or GPS gives it: no
// time zone is involved.
using UtcTime = std::chrono::sys_time<std::chrono::microseconds>;

// The PC's UTC clock now.
UtcTime pcUtcNow();

// The offset from UTC, in seconds, of the PC's own time zone (TZ, else the
// system's zone) at the instant `at`, or of `zone`. It is taken forward from
// UTC, which is never ambiguous, unlike a local time in the hour that is
// repeated when summer time ends.
int zoneOffsetSeconds(UtcTime at);
int zoneOffsetSeconds(const QTimeZone &zone, UtcTime at);

// What a clock sync starts from.
struct MoveRequest
{
    // The GPS time of the second whose burst was timed: the time of day with
    // the fraction the receiver sent (a 10 Hz receiver's .10, .20 ...), and
    // the date where the sentence carries one.
    nmea::TimeOfDay gpsTime;
    std::optional<nmea::Date> gpsDate;
    // The PC's UTC clock when the first byte of that burst arrived.
    UtcTime epoch;
    // The receiver's delay from the UTC second to the first byte of its burst.
    std::chrono::milliseconds receiverDelay{0};
    // The user's UTC offset: the local time becomes GPS time plus it.
    int offsetMinutes = 0;
    // The PC zone's offset from UTC at the epoch (zoneOffsetSeconds()).
    int zoneOffsetSeconds = 0;
    // A GPS date before this one is not believable: receivers whose week
    // number has rolled over report dates 1,024 weeks old. The program's own
    // release date is a safe bound.
    nmea::Date earliestDate;
};

enum class DateUse {
    NotGiven, // the sentence carries no date: the day nearest the PC's
    Set, // the receiver's date is set
    NotBelievable, // the receiver's date is older than earliestDate: the day nearest the PC's
};

struct ClockMove
{
    // How far to move the PC's clock, ahead when positive. It is relative:
    // applied late (after a password prompt), it is as right as it was at
    // the epoch.
    std::chrono::microseconds move{0};
    DateUse date = DateUse::NotGiven;

    friend bool operator==(const ClockMove &, const ClockMove &) = default;
};

// The move that makes the PC's local time GPS time plus the offset:
// (GPS UTC + receiver delay + offset) - (the PC's UTC at the epoch + its
// zone's offset). With the offset equal to the PC's zone, the PC's UTC becomes
// GPS UTC. Without a believable date, the time of day is set on the day
// nearest the PC's local date: a clock at 23:59:58 told 00:00:01 moves 3
// seconds ahead into tomorrow rather than a day back.
ClockMove planClockMove(const MoveRequest &sync);

// A move the user is asked to confirm first, with No as the safe answer: one
// of more than MoveAskedBeyond (a receiver whose date is decades off), or one
// of at least ZoneMoveAskedFrom that leaves the PC's UTC clock an hour or more
// from GPS UTC because the offset is not the PC zone's. A PC whose UTC clock
// is that far off already, by the user's choice at an earlier sync, moves by
// little and is not asked again.
constexpr std::chrono::hours MoveAskedBeyond{24};
constexpr std::chrono::minutes ZoneMoveAskedFrom{30};
constexpr int ZoneApartAskedFromMinutes = 60;
// The question, showing from and to, or nothing when the move needs none.
std::optional<QString> moveQuestion(const MoveRequest &sync, const ClockMove &move);

// The local time of day the request sets: GPS time plus the offset, to the
// millisecond ("14:30:05.000").
QString localTimeText(const MoveRequest &sync);

// What was done, once the clock moved: "Clock set to 14:30:05.000
// (UTC+5:30), moved +0.812 s; receiver delay 150 ms". The time is GPS time
// plus the offset, with the date in front where it was set. Further lines say
// why the receiver's date was not set, that network time synchronization was
// turned off (and how to turn it on again), and the PC's own zone where the
// offset differs from it.
QString clockSetStatus(const MoveRequest &sync, const ClockMove &move, bool networkTimeTurnedOff = false);
// The same in two short lines for the status line: the time set, then the
// first of those further lines, or else the move ("Moved +0.812 s
// (UTC+5:30).").
QString clockSetBrief(const MoveRequest &sync, const ClockMove &move, bool networkTimeTurnedOff = false);

// That network time synchronization is now off, and how to turn it on again.
QString networkTimeOffNote();

} // namespace quorvel::clock
