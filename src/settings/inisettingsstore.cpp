// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "inisettingsstore.h"

#include "files/wholefile.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

namespace quorvel::settings {

namespace detail {

// One line of the file, and what it says.
struct Line
{
    enum class Kind { Blank, Comment, Section, Entry, Unreadable };

    qsizetype start = 0; // in the file's bytes
    qsizetype size = 0; // without its '\n'; a '\r' before it counts
    Kind kind = Kind::Blank;
    QString name; // of a section, or the key of an entry
    QString value;
};

// What tells one version of a file from the next without reading it. An
// atomic replacement brings another inode; an edit in place another size or
// modification time; the change time moves with both, and cannot be set back.
struct Stamp
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    friend bool operator==(const Stamp &, const Stamp &) = default;
};

// A settings file as last read (or written).
struct IniFile
{
    bool loaded = false;
    std::optional<Stamp> stamp; // none when there was no file
    std::optional<QDeadlineTimer> recheck; // when to read again a file that may have changed unseen
    QString failure; // why the file could not be read; empty when it was
    QByteArray content;
    std::vector<Line> lines;
    QHash<std::pair<QString, QString>, QString> values; // by section and key, as find() finds them
};

} // namespace detail

namespace {

using detail::IniFile;
using detail::Line;
using detail::Stamp;

// The key and value of an entry line, trimmed.
std::optional<std::pair<QString, QString>> readEntry(const QString &text)
{
    QString key;
    qsizetype equals = 0;
    if (text.startsWith(u'"')) {
        qsizetype i = 1;
        for (; i < text.size() && text[i] != u'"'; ++i) {
            if (text[i] == u'\\' && i + 1 < text.size())
                ++i;
            key += text[i];
        }
        equals = i + 1;
        while (equals < text.size() && text[equals].isSpace())
            ++equals;
        if (equals >= text.size() || text[equals] != u'=')
            return std::nullopt;
    } else {
        equals = text.indexOf(u'=');
        if (equals <= 0)
            return std::nullopt;
        key = text.left(equals).trimmed();
    }
    QString value = text.mid(equals + 1).trimmed();
    // A value in double quotes is read without them, white space at its ends
    // kept: entryLine() quotes a value that would not read back as it is
    // otherwise, as other writers of INI files do.
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        value = value.mid(1, value.size() - 2);
    return std::pair{key, value};
}

Line parse(QByteArrayView raw)
{
    Line line;
    QByteArrayView bytes = raw.endsWith('\r') ? raw.chopped(1) : raw;
    if (bytes.startsWith("\xef\xbb\xbf")) // a byte order mark, as some editors write
        bytes = bytes.sliced(3);
    // In UTF-8 every byte below 32 is a control character of its own.
    const bool control
        = std::any_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 32 && c != '\t'; });
    if (control || !bytes.isValidUtf8()) {
        line.kind = Line::Kind::Unreadable;
        return line;
    }
    // Most lines of a long file are comments: they are known by their first
    // byte, without decoding.
    const auto first
        = std::find_if_not(bytes.begin(), bytes.end(), [](char c) { return c == ' ' || c == '\t'; });
    if (first != bytes.end() && (*first == '#' || *first == ';')) {
        line.kind = Line::Kind::Comment;
        return line;
    }
    const QString text = QString::fromUtf8(bytes).trimmed();
    if (text.isEmpty()) {
        line.kind = Line::Kind::Blank;
    } else if (text.startsWith(u'#') || text.startsWith(u';')) {
        line.kind = Line::Kind::Comment;
    } else if (text.startsWith(u'[') && text.endsWith(u']')) {
        line.kind = Line::Kind::Section;
        line.name = text.mid(1, text.size() - 2).trimmed();
    } else if (std::optional<std::pair<QString, QString>> entry = readEntry(text)) {
        line.kind = Line::Kind::Entry;
        line.name = std::move(entry->first);
        line.value = std::move(entry->second);
    } else {
        line.kind = Line::Kind::Unreadable;
    }
    return line;
}

// The line that stores `value` under `key`, quoted where the plain text
// would read back as something else; none when no line can hold it.
std::optional<QByteArray> entryLine(const QString &key, const QString &value)
{
    QString keyText = key;
    if (key.isEmpty() || key.trimmed() != key || key.contains(u'=')
        || QStringView(u"#;[\"").contains(key.front())) {
        keyText = QStringLiteral("\"");
        for (const QChar c : key) {
            if (c == u'\\' || c == u'"')
                keyText += u'\\';
            keyText += c;
        }
        keyText += u'"';
    }
    QString valueText = value;
    if (value.trimmed() != value || (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"')))
        valueText = u'"' + value + u'"';
    const QByteArray raw = (keyText + u'=' + valueText).toUtf8();
    const Line back = parse(raw);
    if (back.kind != Line::Kind::Entry || back.name != key || back.value != value)
        return std::nullopt;
    return raw;
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

// What stat says of the file: its stamp, or no stamp and why (no error when
// there is no file).
struct Look
{
    std::optional<Stamp> stamp;
    int error = 0;
};

Look lookAt(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {std::nullopt, errno == ENOENT || errno == ENOTDIR ? 0 : errno};
    const auto ns = [](const timespec &time) { return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec; };
    return {Stamp{status.st_dev, status.st_ino, status.st_size, ns(status.st_mtim), ns(status.st_ctim)}, 0};
}

// File times come from a clock that ticks every few milliseconds, or every
// second or two on some file systems, so a change that soon after a read
// may leave the stamp as it was: a file read that soon after a change is
// read once more when this time has passed.
constexpr qint64 RacyMs = 2000;

// The lines of the file's content, and the value of each section and key.
void index(IniFile &file)
{
    file.lines.clear();
    file.values.clear();
    const QByteArrayView all(file.content);
    for (qsizetype start = 0; start < all.size();) {
        qsizetype end = all.indexOf('\n', start);
        if (end < 0)
            end = all.size();
        Line line = parse(all.sliced(start, end - start));
        line.start = start;
        line.size = end - start;
        file.lines.push_back(std::move(line));
        start = end + 1;
    }
    const QString *section = nullptr;
    for (const Line &line : file.lines) {
        if (line.kind == Line::Kind::Section)
            section = &line.name;
        else if (line.kind == Line::Kind::Entry && section && !file.values.contains({*section, line.name}))
            file.values.insert({*section, line.name}, line.value);
    }
}

// Reads the file as `look` found it. Returns whether its content was read.
bool load(IniFile &file, const QString &path, const Look &look)
{
    file.loaded = true;
    file.stamp = look.stamp;
    file.recheck.reset();
    if (look.error) {
        file.failure = qt_error_string(look.error);
        return false; // what was read before stays
    }
    if (!look.stamp) {
        file = IniFile();
        file.loaded = true;
        return false;
    }
    QFile disk(path);
    QByteArray content;
    if (disk.open(QIODevice::ReadOnly))
        content = disk.readAll();
    if (disk.error() != QFileDevice::NoError) {
        file.failure = disk.errorString();
        return false;
    }
    file.failure.clear();
    file.content = std::move(content);
    index(file);
    const qint64 sinceChangeMs = QDateTime::currentMSecsSinceEpoch() - look.stamp->changedNs / 1'000'000;
    if (std::abs(sinceChangeMs) < RacyMs)
        file.recheck = QDeadlineTimer(RacyMs);
    return true;
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

IniSettingsStore::~IniSettingsStore() = default;

QString IniSettingsStore::location(const QString &application) const
{
    return m_folder + QLatin1Char('/') + application + QLatin1Char('/') + application
        + QStringLiteral(".conf");
}

QString IniSettingsStore::errorString() const
{
    return m_errorString;
}

IniFile &IniSettingsStore::current(const QString &application) const
{
    const QString path = location(application);
    std::unique_ptr<IniFile> &slot = m_files[path];
    if (!slot)
        slot = std::make_unique<IniFile>();
    IniFile &file = *slot;
    const Look look = lookAt(path);
    const bool unchanged = file.loaded && file.failure.isEmpty() && !look.error && look.stamp == file.stamp
        && !(file.recheck && file.recheck->hasExpired());
    if (!unchanged && load(file, path, look))
        ++m_fileReads;
    return file;
}

QString IniSettingsStore::readSetting(const QString &application, const QString &section, const QString &key,
                                      const QString &defaultValue) const
{
    const IniFile &file = current(application);
    return file.values.value({section, key}, defaultValue);
}

bool IniSettingsStore::writeSetting(const QString &application, const QString &section, const QString &key,
                                    const QString &value)
{
    if (!fitsOneLine(section) || !fitsOneLine(key) || !fitsOneLine(value)) {
        m_errorString
            = QObject::tr("[%1] %2 cannot hold a line break or another control character").arg(section, key);
        return false;
    }
    const std::optional<QByteArray> entry = entryLine(key, value);
    const QByteArray header = '[' + section.toUtf8() + ']';
    const Line headerBack = parse(header);
    if (!entry || headerBack.kind != Line::Kind::Section || headerBack.name != section) {
        m_errorString
            = QObject::tr("[%1] %2 cannot be written so that it reads back the same").arg(section, key);
        return false;
    }

    const QString path = location(application);
    IniFile &file = current(application);
    if (!file.failure.isEmpty()) {
        m_errorString = QObject::tr("it could not be read (%1), so it is not written over").arg(file.failure);
        return false;
    }

    // The bytes from `at` on, `replaced` long, give way to `piece`, which
    // holds `added` (lines without their '\n'); the first goes to index `first`.
    std::vector<Line> &lines = file.lines;
    const Place place = find(lines, section, key);
    const auto carriageReturn = [&file](const Line &line) {
        return line.size > 0 && file.content.at(line.start + line.size - 1) == '\r';
    };
    qsizetype at = 0, replaced = 0;
    QByteArray piece;
    std::vector<QByteArray> added;
    std::size_t first = 0;
    if (place.entry) {
        const Line &line = lines[*place.entry];
        added = {*entry + (carriageReturn(line) ? "\r" : "")};
        if (QByteArrayView(file.content).sliced(line.start, line.size) == added.front())
            return true;
        at = line.start;
        replaced = line.size;
        piece = added.front();
        first = *place.entry;
    } else {
        const QByteArray lineEnd = !lines.empty() && carriageReturn(lines.front()) ? "\r" : "";
        if (!place.insertAfter && !lines.empty() && lines.back().kind != Line::Kind::Blank)
            added.push_back(lineEnd);
        if (!place.insertAfter)
            added.push_back(header + lineEnd);
        added.push_back(*entry + lineEnd);
        if (lines.empty()) {
            for (const QByteArray &raw : added)
                piece += raw + '\n';
        } else {
            const Line &before = lines[place.insertAfter.value_or(lines.size() - 1)];
            at = before.start + before.size; // before its '\n', if it has one
            for (const QByteArray &raw : added)
                piece += '\n' + raw;
            first = place.insertAfter.value_or(lines.size() - 1) + 1;
        }
    }
    QByteArray updated;
    updated.reserve(file.content.size() - replaced + piece.size());
    updated.append(QByteArrayView(file.content).first(at))
        .append(piece)
        .append(QByteArrayView(file.content).sliced(at + replaced));

    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        m_errorString = QObject::tr("its folder could not be made");
        return false;
    }
    if (!files::replaceFile(path, updated, &m_errorString))
        return false;

    // What was written is known: the lines after the change move, and the
    // file is not read again for it.
    std::vector<Line> made;
    qsizetype start = lines.empty() || place.entry ? at : at + 1;
    for (const QByteArray &raw : added) {
        Line line = parse(raw);
        line.start = start;
        line.size = raw.size();
        start += raw.size() + 1;
        made.push_back(std::move(line));
    }
    const auto next = lines.begin() + std::ptrdiff_t(first) + (place.entry ? 1 : 0);
    const qsizetype moved = piece.size() - replaced;
    for (auto later = next; later != lines.end(); ++later)
        later->start += moved;
    if (place.entry)
        lines[first] = std::move(made.front());
    else
        lines.insert(lines.begin() + std::ptrdiff_t(first), made.begin(), made.end());
    file.content = updated;
    file.values.insert({section, key}, value);
    file.stamp = lookAt(path).stamp;
    file.recheck.reset();
    return true;
}

QString IniSettingsStore::problems(const QString &application) const
{
    const IniFile &file = current(application);
    const QString where = location(application);
    if (!file.failure.isEmpty()) {
        return QObject::tr(
                   "%1 could not be read: %2.\n\nGPS Quorvel goes on with its default settings and saves "
                   "none over that file, so that nothing in it is lost. Make the file readable for "
                   "your user, or move it aside, then start GPS Quorvel again.")
            .arg(where, file.failure);
    }
    QStringList unreadable;
    for (std::size_t i = 0; i < file.lines.size(); ++i) {
        if (file.lines[i].kind == Line::Kind::Unreadable)
            unreadable << QString::number(i + 1);
    }
    if (unreadable.isEmpty())
        return {};
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
