// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QObject>

class QKeyEvent;
class QRadioButton;
class QWidget;

namespace quorvel {

// What the keys do to the window's controls beyond Qt's own: Return and
// Enter click a focused button, as Space does; Shift+F10 opens a context
// menu, as the menu key does; Shift+F1 shows a control's tooltip; the arrow
// keys move the focus through the COM buttons without choosing one.
class ControlKeys : public QObject
{
    Q_OBJECT

public:
    // The COM buttons, in their order.
    ControlKeys(const QList<QRadioButton *> &portOptions, QObject *parent = nullptr);

    // Every control of `window` that takes the focus follows these keys.
    void watch(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static bool openMenuFromKeyboard(QWidget *widget, const QKeyEvent &key);
    static bool showTipFromKeyboard(QWidget *widget, const QKeyEvent &key);
    bool movePortFocus(QRadioButton *option, int key) const;

    const QList<QRadioButton *> m_portOptions;
};

} // namespace quorvel
