// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QString>

namespace quorvel::clock {

// The PC clock, as the sync step sets it: the local time of day.
class SystemClock : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Asks for the local time of day to become `timeString` ("hh:mm:ss").
    // Returns at once; the system may take its time (a password prompt).
    // Exactly one of timeSet() and refused() tells when the request has ended.
    virtual void setTimeOfDay(const QString &timeString) = 0;

Q_SIGNALS:
    // The clock was set, moved by `movedMs` milliseconds.
    void timeSet(qint64 movedMs);
    // The clock was not set; `message` says why and what to do.
    void refused(const QString &message);
};

} // namespace quorvel::clock
