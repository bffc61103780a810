// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A settings store in memory, for tests of the core and of the window alike.

#include "settings/settingsstore.h"

#include <QHash>
#include <QStringList>

namespace quorvel::test {

class MemorySettingsStore final : public settings::SettingsStore
{
public:
    QString readSetting(const QString &application, const QString &section, const QString &key,
                        const QString &defaultValue) const override
    {
        return values.value(application + '/' + section + '/' + key, defaultValue);
    }
    bool writeSetting(const QString &application, const QString &section, const QString &key,
                      const QString &value) override
    {
        writes << key + '=' + value;
        if (readOnly)
            return false;
        values[application + '/' + section + '/' + key] = value;
        return true;
    }
    QString errorString() const override { return QStringLiteral("No space left on device"); }
    QString location(const QString &) const override { return QStringLiteral("memory"); }
    QString problems(const QString &) const override { return problem; }

    QHash<QString, QString> values; // "Quorvel/Main/Port" -> "3"
    QStringList writes; // "Port=3", in order
    bool readOnly = false;
    QString problem;
};

} // namespace quorvel::test
