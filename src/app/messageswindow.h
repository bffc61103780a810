// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/statusline.h"

#include <QWidget>

class QPlainTextEdit;

namespace quorvel {

// The messages of the status line in this session, each whole and with the
// time it was shown, oldest first; one a paragraph, to be read with the
// arrow keys, selected and copied.
class MessagesWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MessagesWindow(QWidget *parent = nullptr);

    // A message is added at the end, where the text cursor goes too.
    void add(const StatusLine::Entry &entry);
    QString text() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPlainTextEdit *const m_list;
};

} // namespace quorvel
