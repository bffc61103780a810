// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "settingsstore.h"

namespace quorvel::settings {

// The per-user settings as an INI file, <folder>/<application>/<application>.conf,
// one [section] per section and one key=value per line. The file is meant to
// be edited by hand: a write changes only the line of its key and keeps every
// other byte (comments, blank lines, order, unknown keys and sections, lines
// it cannot read), and replaces the file atomically. Values are read and
// written as exactly the text they are; no list or escape syntax.
class IniSettingsStore final : public SettingsStore
{
public:
    // $XDG_CONFIG_HOME, or ~/.config when it is unset.
    static QString userFolder();

    explicit IniSettingsStore(QString folder = userFolder());

    QString readSetting(const QString &application, const QString &section, const QString &key,
                        const QString &defaultValue) const override;
    bool writeSetting(const QString &application, const QString &section, const QString &key,
                      const QString &value) override;
    QString location(const QString &application) const override;
    QString problems(const QString &application) const override;

private:
    QString m_folder;
};

} // namespace quorvel::settings
