// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "translation.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTranslator>

namespace quorvel {

void installTranslation()
{
    static QPointer<QTranslator> installed; // gone with the application that held it
    if (installed)
        return;
    auto *translator = new QTranslator(QCoreApplication::instance());
    // Built into the program, so only a faulty build lacks it.
    if (!translator->load(QStringLiteral(":/i18n/quorvel_en.qm")))
        qWarning("The English texts are missing from the program's resources.");
    QCoreApplication::installTranslator(translator);
    installed = translator;
}

} // namespace quorvel
