// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "settingsstore.h"

namespace quorvel::settings {

// Qt's native per-user store; on Linux the INI file
// $XDG_CONFIG_HOME/<application>/<application>.conf (~/.config when unset),
// one [section] per section. Qt replaces the file atomically on each write.
class NativeSettingsStore final : public SettingsStore
{
public:
    QString readSetting(const QString &application, const QString &section, const QString &key,
                        const QString &defaultValue) const override;
    bool writeSetting(const QString &application, const QString &section, const QString &key,
                      const QString &value) override;
    QString location(const QString &application) const override;
};

} // namespace quorvel::settings
