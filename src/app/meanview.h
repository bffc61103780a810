// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/statusline.h"
#include "average/average.h"
#include "average/statistics.h"

#include <QObject>
#include <QPointer>

#include <optional>

class QLineEdit;
class QPoint;
class QWidget;

namespace quorvel {

struct SampleRing;
class ScatterWindow;

// The mean as Calc Position shows it: the three result boxes, their
// tooltips with the mean in other forms and its spread, and their context
// menu, which copies the mean, saves the fixes and the mean, and opens the
// scatter window.
class MeanView : public QObject
{
    Q_OBJECT

public:
    // The boxes belong to `window`, which the dialogs and the scatter window
    // stand over; the fixes are the window's ring.
    MeanView(QLineEdit *latitude, QLineEdit *longitude, QLineEdit *elevation, const SampleRing &fixes,
             QWidget *window);

    // Writes the mean into the boxes (latitude, longitude, elevation) and
    // its other forms into their tooltips; returns what the status line says
    // of it: the count, the time span and the spread.
    StatusMessage show(const average::Average &mean);

    // The stored fixes, oldest first, as a CSV file, and the mean shown as
    // GPX. False on failure, which failed() tells, and false while no mean
    // is shown.
    bool saveFixesCsv(const QString &path);
    bool saveMeanGpx(const QString &path);
    // The window that plots the fixes around their mean, and its update.
    void showScatter();
    void refreshScatter();

Q_SIGNALS:
    void failed(const QString &message);

private:
    void showMenu(QLineEdit *box, const QPoint &at);
    bool saveFile(const QString &path, const QByteArray &content);
    // The mean of all stored fixes now, for the scatter window.
    std::optional<average::Average> currentMean() const;

    QLineEdit *const m_latitude;
    QLineEdit *const m_longitude;
    QLineEdit *const m_elevation;
    const SampleRing &m_fixes;
    QWidget *const m_window;
    // What the boxes show: what the exports of the mean write.
    std::optional<average::Average> m_shownMean;
    average::Spread m_shownSpread;
    QPointer<ScatterWindow> m_scatter;
};

} // namespace quorvel
