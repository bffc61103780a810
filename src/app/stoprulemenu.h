// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "average/stoprule.h"

#include <QObject>

#include <optional>

class QPoint;
class QPushButton;
class QWidget;

namespace quorvel {

// Start Log's context menu: when logging stops by itself (after a number of
// fixes, after a time, or once the mean is known well enough), each asked
// for in a dialog, or never; and New point. The button's tooltip names the
// rule in force.
class StopRuleMenu : public QObject
{
    Q_OBJECT

public:
    // The button belongs to `window`, over which the menu and the dialogs stand.
    StopRuleMenu(QPushButton *startStop, QWidget *window);

    // The rule in force, as the menu and the tooltip show it.
    void setRule(const std::optional<average::StopRule> &rule);

Q_SIGNALS:
    // The user chose a rule; nothing: logging runs until Stop Log.
    void ruleChosen(const std::optional<average::StopRule> &rule);
    // The user chose New point: the stored fixes are to make way for the next point's.
    void newPointChosen();

private:
    void showMenu(const QPoint &at);
    void ask(average::StopRule::Kind kind);

    QPushButton *const m_button;
    QWidget *const m_window;
    std::optional<average::StopRule> m_rule;
};

} // namespace quorvel
