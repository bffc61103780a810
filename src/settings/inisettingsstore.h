// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "settingsstore.h"

#include <map>
#include <memory>

namespace quorvel::settings {

namespace detail {
struct IniFile;
} // namespace detail

// The per-user settings as an INI file, <folder>/<application>/<application>.conf,
// one [section] per section and one key=value per line. The file is meant to
// be edited by hand: a write changes only the line of its key and keeps every
// other byte (comments, blank lines, order, unknown keys and sections, lines
// it cannot read), and replaces the file atomically.
//
// White space around a section name, a key or a value is not part of it. A
// value with white space at either end, or one that starts and ends with a
// double quote, is written in double quotes, which are not part of it
// (COM1=" /dev/ttyUSB0"). A key that is empty, holds '=', starts with '#',
// ';', '[' or '"', or has white space at either end is written in double
// quotes, inside which a backslash makes the next character plain
// ("/dev/a=b"=9600). A section, key or value with a line break or another
// control character is refused (fitsOneLine()), so every line written reads
// back as exactly the text that was written.
//
// The file is read once, and again only when it has changed (another inode,
// size, modification or change time). A file that is there but cannot be
// read is never written over; problems() says why, and reads give what was
// last read from it (the defaults at start).
class IniSettingsStore final : public SettingsStore
{
public:
    // $XDG_CONFIG_HOME, or ~/.config when it is unset.
    static QString userFolder();

    explicit IniSettingsStore(QString folder = userFolder());
    ~IniSettingsStore() override;

    QString readSetting(const QString &application, const QString &section, const QString &key,
                        const QString &defaultValue) const override;
    bool writeSetting(const QString &application, const QString &section, const QString &key,
                      const QString &value) override;
    QString errorString() const override;
    QString location(const QString &application) const override;
    QString problems(const QString &application) const override;

    // How many times a file's content was read from the disk: once, and once
    // more after each change made by someone else.
    int fileReads() const { return m_fileReads; }

private:
    // The file of `application` as it stands now, read again only if it changed.
    detail::IniFile &current(const QString &application) const;

    QString m_folder;
    mutable std::map<QString, std::unique_ptr<detail::IniFile>> m_files; // by path
    mutable int m_fileReads = 0;
    QString m_errorString;
};

} // namespace quorvel::settings
