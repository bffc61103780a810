// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clockadjustment.h"

#include "settings/utcoffset.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

namespace quorvel::clock {

namespace {

using std::chrono::days;
using std::chrono::microseconds;
using std::chrono::milliseconds;

constexpr microseconds Day = days(1);

microseconds sinceMidnight(const nmea::TimeOfDay &time)
{
    return std::chrono::hours(time.hour) + std::chrono::minutes(time.minute)
        + std::chrono::seconds(time.second)
        + std::chrono::duration_cast<microseconds>(std::chrono::nanoseconds(time.nanosecond));
}

microseconds wrapIntoDay(microseconds time)
{
    return (time % Day + Day) % Day;
}

// Local times here are plain counts from 1970-01-01 00:00 on the local
// calendar, never turned back into UTC through the zone: in the repeated
// hour that would pick one of the two 02:30s at random.
//
// The move that makes `pcLocal` show `timeOfDay` on yesterday's, today's or
// tomorrow's date, whichever is nearest.
microseconds nearestDayMove(microseconds pcLocal, microseconds timeOfDay)
{
    const microseconds midnight = std::chrono::floor<days>(pcLocal);
    microseconds best{};
    for (int day = -1; day <= 1; ++day) {
        const microseconds move = midnight + days(day) + wrapIntoDay(timeOfDay) - pcLocal;
        if (day == -1 || std::chrono::abs(move) < std::chrono::abs(best))
            best = move;
    }
    return best;
}

std::chrono::sys_days calendarDay(const nmea::Date &date)
{
    return std::chrono::year_month_day{std::chrono::year(date.year), std::chrono::month(unsigned(date.month)),
                                       std::chrono::day(unsigned(date.day))};
}

QString dateText(std::chrono::sys_days day)
{
    const std::chrono::year_month_day date(day);
    return QStringLiteral("%1-%2-%3")
        .arg(int(date.year()), 4, 10, QLatin1Char('0'))
        .arg(unsigned(date.month()), 2, 10, QLatin1Char('0'))
        .arg(unsigned(date.day()), 2, 10, QLatin1Char('0'));
}

// "14:30:05.000"
QString timeText(microseconds sinceMidnight)
{
    const qint64 ms = std::chrono::floor<milliseconds>(sinceMidnight).count();
    return QStringLiteral("%1:%2:%3.%4")
        .arg(ms / 3'600'000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60'000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

// "2026-03-02 14:30:05", from a count of the local calendar.
QString localDateTimeText(microseconds local)
{
    const auto day = std::chrono::floor<days>(local);
    return dateText(std::chrono::sys_days(day)) + QLatin1Char(' ')
        + timeText(std::chrono::floor<std::chrono::seconds>(local - day)).left(8);
}

QString tr(const char *text)
{
    return QCoreApplication::translate("quorvel::clock", text);
}

QString offsetLabel(int minutes)
{
    return QString::fromStdString(settings::utcOffsetLabel(minutes));
}

} // namespace

UtcTime pcUtcNow()
{
    return std::chrono::time_point_cast<microseconds>(std::chrono::system_clock::now());
}

int zoneOffsetSeconds(UtcTime at)
{
    const qint64 ms = std::chrono::floor<milliseconds>(at.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc(); // in local time
}

int zoneOffsetSeconds(const QTimeZone &zone, UtcTime at)
{
    const qint64 ms = std::chrono::floor<milliseconds>(at.time_since_epoch()).count();
    return zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()));
}

ClockMove planClockMove(const MoveRequest &sync)
{
    const microseconds pcLocal = sync.epoch.time_since_epoch() + std::chrono::seconds(sync.zoneOffsetSeconds);
    const microseconds target
        = sinceMidnight(sync.gpsTime) + sync.receiverDelay + std::chrono::minutes(sync.offsetMinutes);
    if (!sync.gpsDate)
        return {nearestDayMove(pcLocal, target), DateUse::NotGiven};
    if (*sync.gpsDate < sync.earliestDate)
        return {nearestDayMove(pcLocal, target), DateUse::NotBelievable};
    return {calendarDay(*sync.gpsDate).time_since_epoch() + target - pcLocal, DateUse::Set};
}

std::optional<QString> moveQuestion(const MoveRequest &sync, const ClockMove &move)
{
    const microseconds pcLocal = sync.epoch.time_since_epoch() + std::chrono::seconds(sync.zoneOffsetSeconds);
    QStringList reasons;
    if (std::chrono::abs(move.move) > MoveAskedBeyond) {
        reasons << tr("This moves the PC clock by more than a day: from %1 to %2 (local time). A receiver "
                      "that reports a date so far off may be wrong.")
                       .arg(localDateTimeText(pcLocal), localDateTimeText(pcLocal + move.move));
    }
    const int apart = sync.offsetMinutes - sync.zoneOffsetSeconds / 60;
    if (std::abs(apart) >= ZoneApartAskedFromMinutes && std::chrono::abs(move.move) >= ZoneMoveAskedFrom) {
        const microseconds gpsUtc = sinceMidnight(sync.gpsTime);
        const QString pcUtc = timeText(wrapIntoDay(gpsUtc + std::chrono::minutes(apart))).left(8);
        const QString by = QString::fromStdString(settings::utcOffsetText(std::abs(apart))); // "1", "5:30"
        const QString text = apart > 0
            ? tr("The UTC offset, %1, is not the PC's time zone, %2: the local time "
                 "set to GPS time plus %1 puts the PC's UTC clock %3 h ahead of GPS "
                 "time, at %4 when GPS says %5 UTC.")
            : tr("The UTC offset, %1, is not the PC's time zone, %2: the local time "
                 "set to GPS time plus %1 puts the PC's UTC clock %3 h behind GPS "
                 "time, at %4 when GPS says %5 UTC.");
        reasons << text.arg(offsetLabel(sync.offsetMinutes), offsetLabel(sync.zoneOffsetSeconds / 60), by,
                            pcUtc, timeText(wrapIntoDay(gpsUtc)).left(8))
                + QLatin1Char(' ') + tr("An empty UTC Offset box follows the PC's time zone.");
    }
    if (reasons.isEmpty())
        return std::nullopt;
    return reasons.join(QStringLiteral("\n\n")) + QStringLiteral("\n\n") + tr("Move the clock?");
}

QString localTimeText(const MoveRequest &sync)
{
    return timeText(wrapIntoDay(sinceMidnight(sync.gpsTime) + std::chrono::minutes(sync.offsetMinutes)));
}

namespace {

// What the status texts of a move share: the date and time set, and the
// move in seconds.
struct MoveWords
{
    QString setTo; // "14:30:05.000", with the date in front where it was set
    QString moved; // "+0.812"
};

MoveWords moveWords(const MoveRequest &sync, const ClockMove &move)
{
    // The local time of the GPS second itself, as the receiver stamped it.
    const microseconds local = sinceMidnight(sync.gpsTime) + std::chrono::minutes(sync.offsetMinutes);
    MoveWords words{timeText(wrapIntoDay(local)), {}};
    if (move.date == DateUse::Set) {
        const auto localDay = std::chrono::floor<days>(calendarDay(*sync.gpsDate) + local);
        words.setTo = dateText(localDay) + QLatin1Char(' ') + words.setTo;
    }
    const qint64 movedMs = std::chrono::round<milliseconds>(move.move).count();
    // The user's decimal separator, but no grouping in a figure read as a time.
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    words.moved = (movedMs < 0 ? QStringLiteral("-") : QStringLiteral("+"))
        + locale.toString(double(std::abs(movedMs)) / 1000, 'f', 3);
    return words;
}

// A box that disagrees with the PC's own zone has put the PC's UTC clock
// off by the difference.
bool zoneDiffers(const MoveRequest &sync)
{
    return sync.offsetMinutes * 60 != sync.zoneOffsetSeconds;
}

} // namespace

QString clockSetStatus(const MoveRequest &sync, const ClockMove &move, bool networkTimeTurnedOff)
{
    const MoveWords words = moveWords(sync, move);
    QString status = tr("Clock set to %1 (%2), moved %3 s; receiver delay %4 ms.")
                         .arg(words.setTo, offsetLabel(sync.offsetMinutes), words.moved,
                              QString::number(sync.receiverDelay.count()));
    if (move.date == DateUse::NotBelievable)
        status += QLatin1Char('\n')
            + tr("The receiver's date, %1, is older than this program, so only the time of day was set.")
                  .arg(dateText(calendarDay(*sync.gpsDate)));
    if (networkTimeTurnedOff)
        status += QLatin1Char('\n') + networkTimeOffNote();
    if (zoneDiffers(sync))
        status += QLatin1Char('\n')
            + tr("The PC's time zone is %1.").arg(offsetLabel(sync.zoneOffsetSeconds / 60));
    return status;
}

QString clockSetBrief(const MoveRequest &sync, const ClockMove &move, bool networkTimeTurnedOff)
{
    const MoveWords words = moveWords(sync, move);
    const QString setTo = tr("Clock set to %1.").arg(words.setTo);
    // The second line: what most needs to be known, the move where nothing does.
    if (networkTimeTurnedOff)
        return setTo + QLatin1Char('\n') + tr("Network time is now off.");
    if (move.date == DateUse::NotBelievable)
        return setTo + QLatin1Char('\n') + tr("The receiver's date was not used.");
    if (zoneDiffers(sync))
        return setTo + QLatin1Char('\n')
            + tr("The PC's time zone is %1.").arg(offsetLabel(sync.zoneOffsetSeconds / 60));
    return setTo + QLatin1Char('\n')
        + tr("Moved %1 s (%2).").arg(words.moved, offsetLabel(sync.offsetMinutes));
}

QString networkTimeOffNote()
{
    return tr("Network time synchronization is now off; turn it on again in the system's date and time "
              "settings, or with \"timedatectl set-ntp true\".");
}

} // namespace quorvel::clock
