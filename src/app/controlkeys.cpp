// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "controlkeys.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QRadioButton>
#include <QToolTip>

namespace quorvel {

ControlKeys::ControlKeys(const QList<QRadioButton *> &portOptions, QObject *parent)
    : QObject(parent)
    , m_portOptions(portOptions)
{
}

void ControlKeys::watch(QWidget *window)
{
    for (QWidget *control : window->findChildren<QWidget *>()) {
        if (control->focusPolicy() != Qt::NoFocus)
            control->installEventFilter(this);
    }
}

bool ControlKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto &keyEvent = *static_cast<QKeyEvent *>(event);
    const int key = keyEvent.key();
    if (auto *widget = qobject_cast<QWidget *>(watched);
        widget && (openMenuFromKeyboard(widget, keyEvent) || showTipFromKeyboard(widget, keyEvent)))
        return true;
    if (auto *option = qobject_cast<QRadioButton *>(watched); option && movePortFocus(option, key))
        return true;
    auto *button = qobject_cast<QAbstractButton *>(watched);
    if (button && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        if (button->isEnabled())
            button->click();
        return true;
    }
    return false;
}

bool ControlKeys::openMenuFromKeyboard(QWidget *widget, const QKeyEvent &key)
{
    // Many laptops have no menu key; Shift+F10 is the usual stand-in, which
    // Qt leaves to the application here.
    if (key.keyCombination() != QKeyCombination(Qt::ShiftModifier, Qt::Key_F10))
        return false;
    // Where the menu key opens it: at the text cursor, or mid-control.
    const QPoint at = widget->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, widget->mapToGlobal(at), key.modifiers());
    QCoreApplication::sendEvent(widget, &menu);
    return true;
}

bool ControlKeys::showTipFromKeyboard(QWidget *widget, const QKeyEvent &key)
{
    // What a tooltip adds (the mean in other forms, what a COM port reads)
    // is otherwise only for the mouse.
    if (key.keyCombination() != QKeyCombination(Qt::ShiftModifier, Qt::Key_F1) || widget->toolTip().isEmpty())
        return false;
    QToolTip::showText(widget->mapToGlobal(widget->rect().bottomLeft()), widget->toolTip(), widget);
    return true;
}

bool ControlKeys::movePortFocus(QRadioButton *option, int key) const
{
    // Qt's arrows select each button they pass, and every selection
    // switches the port: while logging, the first that fails to open would
    // stop it.
    int step = 0;
    if (key == Qt::Key_Up || key == Qt::Key_Left)
        step = -1;
    else if (key == Qt::Key_Down || key == Qt::Key_Right)
        step = 1;
    const qsizetype at = m_portOptions.indexOf(option);
    if (step == 0 || at < 0)
        return false;
    m_portOptions[(at + step + m_portOptions.size()) % m_portOptions.size()]->setFocus(
        step < 0 ? Qt::BacktabFocusReason : Qt::TabFocusReason);
    return true;
}

} // namespace quorvel
