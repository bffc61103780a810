// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "inisettingsstore.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <optional>
#include <vector>

namespace quorvel::settings {

namespace {

// One line of the file as it stands, and what it says.
struct Line
{
    enum class Kind { Blank, Comment, Section, Entry, Unreadable };

    QByteArray raw; // without its '\n'; a '\r' before it stays here
    Kind kind = Kind::Blank;
    QString name; // of a section, or the key of an entry
    QString value;
};

// A line added by a write, which is read again before it matters.
Line added(const QByteArray &raw)
{
    Line line;
    line.raw = raw;
    line.kind = Line::Kind::Entry;
    return line;
}

Line parse(const QByteArray &raw)
{
    Line line;
    line.raw = raw;
    QByteArray bytes = raw.endsWith('\r') ? raw.chopped(1) : raw;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = QString(utf8(bytes)).trimmed();
    const bool control = std::any_of(text.cbegin(), text.cend(),
                                     [](QChar c) { return c.unicode() < 32 && c != QLatin1Char('\t'); });
    if (utf8.hasError() || control)
        line.kind = Line::Kind::Unreadable;
    else if (text.isEmpty())
        line.kind = Line::Kind::Blank;
    else if (text.startsWith(QLatin1Char('#')) || text.startsWith(QLatin1Char(';')))
        line.kind = Line::Kind::Comment;
    else if (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']'))) {
        line.kind = Line::Kind::Section;
        line.name = text.mid(1, text.size() - 2).trimmed();
    } else if (const qsizetype equals = text.indexOf(QLatin1Char('=')); equals > 0) {
        line.kind = Line::Kind::Entry;
        line.name = text.left(equals).trimmed();
        line.value = text.mid(equals + 1).trimmed();
        // Older versions wrote values with surrounding blanks in quotes.
        if (line.value.size() >= 2 && line.value.startsWith(QLatin1Char('"'))
            && line.value.endsWith(QLatin1Char('"')))
            line.value = line.value.mid(1, line.value.size() - 2);
    } else {
        line.kind = Line::Kind::Unreadable;
    }
    return line;
}

std::vector<Line> readLines(const QString &path)
{
    QFile file(path);
    std::vector<Line> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    QByteArray all = file.readAll();
    if (all.isEmpty())
        return lines;
    const bool endsWithNewline = all.endsWith('\n');
    if (endsWithNewline)
        all.chop(1);
    for (const QByteArray &raw : all.split('\n'))
        lines.push_back(parse(raw));
    return lines;
}

// The index of the key's line in its section, and of the line it would follow
// if it were added (the section's last entry, or its header).
struct Place
{
    std::optional<std::size_t> entry;
    std::optional<std::size_t> insertAfter;
};

Place find(const std::vector<Line> &lines, const QString &section, const QString &key)
{
    Place place;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line &line = lines[i];
        if (line.kind == Line::Kind::Section) {
            inSection = line.name == section;
            if (inSection && !place.insertAfter)
                place.insertAfter = i;
        } else if (inSection && line.kind == Line::Kind::Entry) {
            if (line.name == key && !place.entry)
                place.entry = i;
            place.insertAfter = i;
        }
    }
    return place;
}

} // namespace

QString IniSettingsStore::userFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

IniSettingsStore::IniSettingsStore(QString folder)
    : m_folder(std::move(folder))
{
}

QString IniSettingsStore::location(const QString &application) const
{
    return m_folder + QLatin1Char('/') + application + QLatin1Char('/') + application
        + QStringLiteral(".conf");
}

QString IniSettingsStore::readSetting(const QString &application, const QString &section, const QString &key,
                                      const QString &defaultValue) const
{
    const std::vector<Line> lines = readLines(location(application));
    const Place place = find(lines, section, key);
    return place.entry ? lines[*place.entry].value : defaultValue;
}

bool IniSettingsStore::writeSetting(const QString &application, const QString &section, const QString &key,
                                    const QString &value)
{
    const QString path = location(application);
    QFile existing(path);
    QByteArray content;
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            return false; // never replace what cannot be read
        content = existing.readAll();
        existing.close();
    }

    std::vector<Line> lines = readLines(path);
    const Place place = find(lines, section, key);
    const QByteArray entry = key.toUtf8() + '=' + value.toUtf8();
    const bool crlf = !lines.empty() && lines.front().raw.endsWith('\r');
    const QByteArray lineEnd = crlf ? "\r" : "";
    if (place.entry) {
        Line &line = lines[*place.entry];
        line.raw = entry + (line.raw.endsWith('\r') ? "\r" : "");
    } else if (place.insertAfter) {
        lines.insert(lines.begin() + std::ptrdiff_t(*place.insertAfter) + 1, added(entry + lineEnd));
    } else {
        if (!lines.empty() && lines.back().kind != Line::Kind::Blank)
            lines.push_back(added(lineEnd));
        lines.push_back(added('[' + section.toUtf8() + ']' + lineEnd));
        lines.push_back(added(entry + lineEnd));
    }

    QByteArray updated;
    for (const Line &line : lines)
        updated += line.raw + '\n';
    if (!content.isEmpty() && !content.endsWith('\n'))
        updated.chop(1); // the file had no newline at its end; it keeps none
    if (updated == content)
        return true;

    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(updated);
    return file.commit();
}

QString IniSettingsStore::problems(const QString &application) const
{
    const std::vector<Line> lines = readLines(location(application));
    QStringList unreadable;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == Line::Kind::Unreadable)
            unreadable << QString::number(i + 1);
    }
    if (unreadable.isEmpty())
        return {};
    const QString where = location(application);
    if (unreadable.size() == 1) {
        return QObject::tr("Line %1 of %2 is neither a [section], a key=value setting nor a # comment, "
                           "so it is ignored. It is kept as it is, and the other settings work.")
            .arg(unreadable.first(), where);
    }
    return QObject::tr("Lines %1 of %2 are neither [sections], key=value settings nor # comments, "
                       "so they are ignored. They are kept as they are, and the other settings work.")
        .arg(unreadable.join(QStringLiteral(", ")), where);
}

} // namespace quorvel::settings
