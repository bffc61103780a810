// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "stoprulemenu.h"

#include "average/export.h"
#include "ring/samplering.h"

#include <QActionGroup>
#include <QInputDialog>
#include <QLocale>
#include <QMenu>
#include <QPushButton>

#include <cmath>

namespace quorvel {

using Kind = average::StopRule::Kind;

StopRuleMenu::StopRuleMenu(QPushButton *startStop, QWidget *window)
    : QObject(window)
    , m_button(startStop)
    , m_window(window)
{
    m_button->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_button, &QPushButton::customContextMenuRequested, this, &StopRuleMenu::showMenu);
    setRule(std::nullopt);
}

void StopRuleMenu::setRule(const std::optional<average::StopRule> &rule)
{
    m_rule = rule;
    m_button->setToolTip(
        rule ? tr("Logging stops by itself %1. The context menu (right-click, the menu key or "
                  "Shift+F10) changes this.")
                   .arg(average::stopRuleDescription(*rule, QLocale().decimalPoint()))
             : QString());
}

void StopRuleMenu::showMenu(const QPoint &at)
{
    auto *menu = new QMenu(m_button);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto *choices = new QActionGroup(menu);
    const auto item = [&](const QString &text, std::optional<Kind> kind) {
        QAction *action = menu->addAction(text);
        action->setCheckable(true);
        action->setChecked(kind ? m_rule && m_rule->kind == *kind : !m_rule);
        choices->addAction(action);
        if (kind)
            connect(action, &QAction::triggered, this, [this, kind] { ask(*kind); });
        else
            connect(action, &QAction::triggered, this, [this] { Q_EMIT ruleChosen(std::nullopt); });
    };
    // The rule in force shows its target.
    const auto inForce = [this](Kind kind) { return m_rule && m_rule->kind == kind; };
    const int target = m_rule ? int(std::ceil(m_rule->target)) : 0;
    item(inForce(Kind::Fixes) ? tr("Stop after a number of &fixes: %1\u2026").arg(target)
                              : tr("Stop after a number of &fixes\u2026"),
         Kind::Fixes);
    item(inForce(Kind::Time) ? tr("Stop after a &time: %1\u2026").arg(average::durationText(target))
                             : tr("Stop after a &time\u2026"),
         Kind::Time);
    item(inForce(Kind::Uncertainty)
             ? tr("Stop when the &mean is known to \u00b1%1 m (95 %)\u2026")
                   .arg(average::fixedText(m_rule->target, 2, QLocale().decimalPoint()))
             : tr("Stop when the &mean is known to \u00b1X m (95 %)\u2026"),
         Kind::Uncertainty);
    item(tr("&Log until Stop Log"), std::nullopt);
    menu->addSeparator();
    menu->setToolTipsVisible(true);
    menu->addAction(tr("&New point\u2026"), this, &StopRuleMenu::newPointChosen)
        ->setToolTip(tr("Keeps the mean of the fixes stored, among the points of the day, and starts the "
                        "next point without them."));
    menu->popup(m_button->mapToGlobal(at));
}

void StopRuleMenu::ask(Kind kind)
{
    const bool same = m_rule && m_rule->kind == kind;
    bool ok = false;
    average::StopRule rule{kind, 0};
    switch (kind) {
    case Kind::Fixes:
        rule.target
            = QInputDialog::getInt(m_window, tr("Stop after a number of fixes"),
                                   tr("Stop logging once this many &fixes are stored (the ring holds %1):")
                                       .arg(SampleRing::RingSize),
                                   same ? int(m_rule->target) : 600, 1, SampleRing::RingSize, 1, &ok);
        break;
    case Kind::Time:
        rule.target = 60
            * QInputDialog::getInt(m_window, tr("Stop after a time"),
                                   tr("Stop logging after this many &minutes of logging:"),
                                   same ? int(std::ceil(m_rule->target / 60)) : 15, 1, 24 * 60, 1, &ok);
        break;
    case Kind::Uncertainty:
        rule.target = QInputDialog::getDouble(m_window, tr("Stop when the mean is known well enough"),
                                              tr("Stop logging once the mean is known to \u00b1 this many "
                                                 "&metres (95 %, horizontally):"),
                                              same ? m_rule->target : 0.5, 0.01, 100, 2, &ok);
        break;
    }
    if (ok)
        Q_EMIT ruleChosen(rule);
}

} // namespace quorvel
