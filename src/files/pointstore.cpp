// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pointstore.h"

#include "wholefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace quorvel::files {

namespace {

// A figure that may be absent; JSON has no infinity, so a figure that is
// not finite is absent too.
QJsonValue optionalNumber(const std::optional<double> &value)
{
    return value && std::isfinite(*value) ? QJsonValue(*value) : QJsonValue();
}

std::optional<double> readOptional(const QJsonValue &value)
{
    return value.isDouble() ? std::optional(value.toDouble()) : std::nullopt;
}

} // namespace

QByteArray keptPointLine(const KeptPoint &kept)
{
    const MeanPoint &p = kept.point;
    const average::Spread &s = p.spread;
    // Doubles are written as the shortest text that reads back as the same number.
    const QJsonObject object{
        {QStringLiteral("number"), kept.number},
        {QStringLiteral("name"), p.name},
        {QStringLiteral("time"), p.time.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("latitude"), p.latitude},
        {QStringLiteral("longitude"), p.longitude},
        {QStringLiteral("elevation"), p.elevation},
        {QStringLiteral("geoidSeparation"), optionalNumber(p.geoidSeparation)},
        {QStringLiteral("fixes"), s.count},
        {QStringLiteral("spanSeconds"), s.spanSeconds ? QJsonValue(*s.spanSeconds) : QJsonValue()},
        {QStringLiteral("sdNorth"), s.sdNorth},
        {QStringLiteral("sdEast"), s.sdEast},
        {QStringLiteral("sdUp"), s.sdUp},
        {QStringLiteral("cep50"), s.cep50},
        {QStringLiteral("cep95"), s.cep95},
        {QStringLiteral("horizontal95"), optionalNumber(s.mean.horizontal95)},
        {QStringLiteral("vertical95"), optionalNumber(s.mean.vertical95)},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<KeptPoint> readKeptPoint(QByteArrayView line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject o = document.object();
    const auto number = [&o](const char *key) { return o.value(QLatin1String(key)).toDouble(qQNaN()); };
    KeptPoint kept;
    MeanPoint &p = kept.point;
    kept.number = o.value(QLatin1String("number")).toInt(0);
    p.name = o.value(QLatin1String("name")).toString();
    p.time = QDateTime::fromString(o.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
    p.latitude = number("latitude");
    p.longitude = number("longitude");
    p.elevation = number("elevation");
    // A point needs its number, its time and a position on the earth; the
    // rest describes it.
    if (kept.number < 1 || kept.number > MaxPointNumber || !p.time.isValid() || !(std::abs(p.latitude) <= 90)
        || !(std::abs(p.longitude) <= 180) || !std::isfinite(p.elevation))
        return std::nullopt;
    p.time = p.time.toUTC();
    p.geoidSeparation = readOptional(o.value(QLatin1String("geoidSeparation")));
    average::Spread &s = p.spread;
    s.count = o.value(QLatin1String("fixes")).toInt(0);
    if (const QJsonValue span = o.value(QLatin1String("spanSeconds")); span.isDouble())
        s.spanSeconds = span.toInt();
    s.sdNorth = number("sdNorth");
    s.sdEast = number("sdEast");
    s.sdUp = number("sdUp");
    s.cep50 = number("cep50");
    s.cep95 = number("cep95");
    s.mean.horizontal95 = readOptional(o.value(QLatin1String("horizontal95")));
    s.mean.vertical95 = readOptional(o.value(QLatin1String("vertical95")));
    return kept;
}

QString PointStore::userPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Quorvel/points.jsonl");
}

PointStore::PointStore(QString path)
    : m_path(std::move(path))
{
    read();
}

bool PointStore::read()
{
    const QFileInfo info(m_path);
    if (!info.exists()) {
        m_lines.clear();
        parseLines();
        return true;
    }
    // Opening a named pipe would wait for a writer for good.
    if (!info.isFile()) {
        m_readFailure = info.isDir() ? QStringLiteral("a folder is in its place")
                                     : QStringLiteral("it is a pipe, a device or a socket, not a file");
        return false;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_readFailure = file.errorString();
        return false;
    }
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_readFailure = file.errorString();
        return false;
    }
    if (content.endsWith('\n'))
        content.chop(1);
    m_lines = content.isEmpty() ? QList<QByteArray>() : content.split('\n');
    parseLines();
    return true;
}

void PointStore::parseLines()
{
    m_points.clear();
    m_pointLines.clear();
    m_unreadable.clear();
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QByteArrayView line = QByteArrayView(m_lines[i]).trimmed();
        if (line.isEmpty())
            continue;
        if (std::optional<KeptPoint> kept = readKeptPoint(line)) {
            m_points << *kept;
            m_pointLines << i;
        } else {
            m_unreadable << i;
        }
    }
}

bool PointStore::keep(const KeptPoint &kept)
{
    const bool stored = storing() && read();
    const QByteArray line = keptPointLine(kept);
    const auto same = std::find_if(m_points.cbegin(), m_points.cend(), [&kept](const KeptPoint &p) {
        return p.number == kept.number && p.point.time == kept.point.time;
    });
    if (same != m_points.cend())
        m_lines[m_pointLines[same - m_points.cbegin()]] = line;
    else
        m_lines << line;
    parseLines();
    if (!stored) {
        m_errorString = m_readFailure;
        return false;
    }
    return write();
}

bool PointStore::clear()
{
    const bool stored = storing() && read();
    for (qsizetype i = m_pointLines.size() - 1; i >= 0; --i)
        m_lines.removeAt(m_pointLines[i]);
    parseLines();
    if (!stored) {
        m_errorString = m_readFailure;
        return false;
    }
    return write();
}

int PointStore::nextNumber() const
{
    int highest = 0;
    for (const KeptPoint &kept : m_points)
        highest = std::max(highest, kept.number);
    return highest + 1;
}

bool PointStore::write()
{
    QByteArray content;
    for (const QByteArray &line : m_lines)
        content += line + '\n'; // a torn last line ends here, and what follows stays apart from it
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        m_errorString = QStringLiteral("its folder cannot be made");
        return false;
    }
    return replaceFile(m_path, content, &m_errorString);
}

QString PointStore::problems() const
{
    const QString where = QDir::toNativeSeparators(m_path);
    if (!m_readFailure.isEmpty())
        return QStringLiteral("The points of the day cannot be read from %1: %2. It is not written "
                              "over; the points of this session are kept until GPS Quorvel ends. Make it "
                              "a file GPS Quorvel can read (or move it away), then start GPS Quorvel again.")
            .arg(where, m_readFailure);
    if (m_unreadable.isEmpty())
        return {};
    QStringList numbers;
    for (const qsizetype i : m_unreadable)
        numbers << QString::number(i + 1);
    return (numbers.size() == 1 ? QStringLiteral("Line %2 of %1 is no point: it is left out of the points, "
                                                 "and kept in the file as it is.")
                                : QStringLiteral("Lines %2 of %1 are no points: they are left out of the "
                                                 "points, and kept in the file as they are."))
        .arg(where, numbers.join(QStringLiteral(", ")));
}

} // namespace quorvel::files
