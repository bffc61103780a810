// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "files/pointfiles.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace quorvel::files {

// A mean kept among the points of the day: the number of the point it
// belongs to (the fixes logged between two New points; several means of
// one point share it) and the mean as a named point.
struct KeptPoint
{
    int number = 0;
    MeanPoint point;
};

// The highest number a kept point may have. The program numbers points one
// after another from 1; a line with a number beyond this (edited by hand) is
// no point, so that the numbers after the highest stay within an int.
constexpr int MaxPointNumber = 1'000'000'000;

// A kept point as one line of the points file, a JSON object without a
// line break: {"number":2,"name":"Stone 4","time":"2026-05-04T09:12:30.250Z",
// "latitude":48.1173,"longitude":11.51666667,"elevation":545.4,...}; and back.
// Nothing for a line that is no such object.
QByteArray keptPointLine(const KeptPoint &kept);
std::optional<KeptPoint> readKeptPoint(QByteArrayView line);

// The points of the day in a file of their own, one line each, so that a
// restart or a crash loses none. Each change reads the file again, makes
// itself on its lines and writes the file anew beside the old one, renamed
// over it: a failure leaves the old file whole, and a second program
// keeping points in the same file loses none of the other's.
//
// The file may be edited by hand: a line that is no point (a torn last
// line, a mistake) is left out of the points, kept as it is and told by
// problems(). A file that is there but cannot be read (no permission, a
// folder or a named pipe in its place) is never written over, nor read
// again: the points of this session are then kept only while the program
// runs, and problems() says why.
class PointStore
{
public:
    // $XDG_DATA_HOME/Quorvel/points.jsonl (~/.local/share when unset).
    static QString userPath();

    explicit PointStore(QString path = userPath());

    const QList<KeptPoint> &points() const { return m_points; }
    // Adds `kept`, or replaces the mean of the same point taken at the same
    // time (that mean saved again, under another name). False when it could
    // not be stored (errorString() says why); it is kept all the same until
    // the program ends.
    bool keep(const KeptPoint &kept);
    // Forgets every point; lines that are no point stay.
    bool clear();
    // The number of the point that follows the highest one kept (1 for none).
    int nextNumber() const;

    QString path() const { return m_path; }
    // Whether the points go into the file: false once it could not be read.
    bool storing() const { return m_readFailure.isEmpty(); }
    // What reading the file found: that it cannot be read, or lines that are
    // no point. Empty when all was well.
    QString problems() const;
    QString errorString() const { return m_errorString; }

private:
    // Reads the file as it is now; false (and m_readFailure set) when it is
    // there but cannot be read.
    bool read();
    bool write();
    // The points as the lines give them.
    void parseLines();

    QString m_path;
    QList<QByteArray> m_lines; // the file's lines, without their line ends
    QList<qsizetype> m_pointLines; // the line of each point
    QList<KeptPoint> m_points;
    QList<qsizetype> m_unreadable; // lines that are no point, from 0
    QString m_readFailure;
    QString m_errorString;
};

} // namespace quorvel::files
