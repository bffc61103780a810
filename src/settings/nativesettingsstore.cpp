// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "nativesettingsstore.h"

#include <QSettings>

namespace quorvel::settings {

namespace {

QString keyPath(const QString &section, const QString &key)
{
    return section + QLatin1Char('/') + key;
}

QSettings open(const QString &application)
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, application, application);
}

} // namespace

QString NativeSettingsStore::readSetting(const QString &application, const QString &section,
                                         const QString &key, const QString &defaultValue) const
{
    return open(application).value(keyPath(section, key), defaultValue).toString();
}

bool NativeSettingsStore::writeSetting(const QString &application, const QString &section, const QString &key,
                                       const QString &value)
{
    QSettings store = open(application);
    store.setValue(keyPath(section, key), value);
    store.sync();
    return store.status() == QSettings::NoError;
}

QString NativeSettingsStore::location(const QString &application) const
{
    return open(application).fileName();
}

} // namespace quorvel::settings
