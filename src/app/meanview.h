// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/statusline.h"
#include "average/average.h"
#include "average/statistics.h"
#include "files/pointfiles.h"
#include "files/pointstore.h"
#include "grids/grids.h"

#include <QDateTime>
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
// tooltips with the mean in other forms (grids included), its spread and a
// known point's distance, and their context menu, which copies the mean in
// each form, saves the fixes and the mean, compares the mean with a known
// point and opens the scatter window and the points of the day.
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
    // The boxes empty, as before the first mean: a new point has begun.
    void clear();
    // The point kept before this one, whose distance and bearing from the
    // next mean shown its tooltips give; nothing for none.
    void setPointBefore(const std::optional<files::KeptPoint> &before);
    // Whether the mean shown is that of every stored fix (none has come
    // since), and whether it has been saved to a file.
    bool showsAllFixes() const;
    bool shownSaved() const { return m_shownSaved; }
    // The mean shown as a point without a name; nothing while none is shown.
    std::optional<files::MeanPoint> shownPoint() const;
    // Asks for a file and a name, and saves the mean shown there; whether it
    // was saved.
    bool askMeanFile();

    // The stored fixes, oldest first, as a CSV file. False on failure,
    // which failed() tells.
    bool saveFixesCsv(const QString &path);
    // The mean shown as a point named `name` in `path`: a GPX, KML or
    // GeoJSON file by the name's extension, else by `format`. A file of
    // that kind that is there already gets the point added, or is replaced,
    // as the user answers; another file is replaced only if the user says
    // so. False on failure (told by failed()), when the user cancels, and
    // while no mean is shown.
    bool saveMean(const QString &path, const QString &name,
                  std::optional<files::PointFormat> format = std::nullopt);
    // A known point, typed or pasted in any form parsePosition() reads: its
    // distance and bearing from the mean, and whether it lies within the
    // 95 % radius, are told by told() and kept in the tooltips for the rest
    // of the session, or until it is cleared by empty text. False, with the
    // reason in `error`, for text that is no position.
    bool setKnownPoint(const QString &text, QString *error = nullptr);
    // The known point forgotten, and told().
    void clearKnownPoint();
    // The window that plots the fixes around their mean, and its update;
    // `measured` is the fixes' scatter where it is worked out already.
    void showScatter();
    void refreshScatter(const average::Scatter *measured = nullptr);

Q_SIGNALS:
    void failed(const QString &message);
    // For the status line.
    void told(const StatusMessage &message);
    // The mean shown was saved as this point.
    void meanSaved(const files::MeanPoint &point);
    // The user asked for the points of the day.
    void pointsWanted();

private:
    void showMenu(QLineEdit *box, const QPoint &at);
    // The tooltips of the mean shown, and what the status line says of it.
    StatusMessage describe();
    // "Known point: 12.34 m at 123° from the mean; within the 95 % radius",
    // with `between` its two parts, or nothing while no point is known.
    QString knownPointText(grids::Wording wording = grids::Wording::Whole) const;
    // "Previous point (Stone 3): 25.31 m at 267° from the mean", or nothing.
    QString pointBeforeText() const;
    void askKnownPoint();
    bool saveFile(const QString &path, const QByteArray &content);

    QLineEdit *const m_latitude;
    QLineEdit *const m_longitude;
    QLineEdit *const m_elevation;
    const SampleRing &m_fixes;
    QWidget *const m_window;
    // What the boxes show: what the exports of the mean write.
    std::optional<average::Average> m_shownMean;
    average::Spread m_shownSpread;
    QDateTime m_shownAt; // when Calc Position took it
    std::int64_t m_shownStored = 0; // the ring's count of fixes ever stored, then
    bool m_shownSaved = false;
    std::optional<files::KeptPoint> m_pointBefore;
    std::optional<grids::GeoPoint> m_knownPoint;
    QString m_knownText; // as the user typed it
    QPointer<ScatterWindow> m_scatter;
};

} // namespace quorvel
