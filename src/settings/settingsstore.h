// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <algorithm>

namespace quorvel::settings {

// The per-user store of text values addressed by application, section and key.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;

    // The stored text, or `defaultValue` when application, section or key is absent.
    virtual QString readSetting(const QString &application, const QString &section, const QString &key,
                                const QString &defaultValue) const
        = 0;
    // Stores the text at once. Returns false when it could not be written;
    // errorString() then says why.
    virtual bool writeSetting(const QString &application, const QString &section, const QString &key,
                              const QString &value)
        = 0;
    // Why the last write failed, for the user.
    virtual QString errorString() const = 0;
    // Where the values are kept, for messages that tell the user where to look.
    virtual QString location(const QString &application) const = 0;
    // What in the stored values could not be read, for the user; empty when
    // all is well.
    virtual QString problems(const QString &application) const = 0;
};

// Whether `text` can be a section, key or value: a setting is one line of
// text, so it holds no line break and no other control character.
inline bool fitsOneLine(QStringView text)
{
    return std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        const QChar::Category category = c.category();
        return category == QChar::Other_Control || category == QChar::Separator_Line
            || category == QChar::Separator_Paragraph;
    });
}

} // namespace quorvel::settings
