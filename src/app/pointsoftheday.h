// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/statusline.h"
#include "files/pointstore.h"

#include <QObject>
#include <QPointer>

#include <optional>

class QWidget;

namespace quorvel {

class PointsWindow;

// The points of the day: the number of the point being logged, every mean
// kept of it and of the points before (in the points file, which a restart
// reads again), and the window that lists them, saves them all and clears
// the list.
class PointsOfTheDay : public QObject
{
    Q_OBJECT

public:
    // The dialogs and the Points window stand over `window`; the points are
    // kept in the file at `path`.
    explicit PointsOfTheDay(QWidget *window, const QString &path = files::PointStore::userPath());

    // The point being logged: the one after the highest kept at start-up.
    int current() const { return m_current; }
    // The next point begins.
    void startNext();
    // `point`, a mean of the point being logged, is kept; one without a name
    // is named by the point's number and time, unless that mean is kept
    // already (under the name it was saved with).
    void keep(files::MeanPoint point);
    // The newest point kept of those before the one being logged.
    std::optional<files::KeptPoint> pointBefore() const;
    const QList<files::KeptPoint> &points() const { return m_store.points(); }
    // What reading the points file found, for start-up; empty when all was well.
    QString problems() const { return m_store.problems(); }

    void showWindow();
    // Every point into one file, by the name's extension, else as the type
    // of file chosen (GPX, KML, GeoJSON, CSV in that order) says: its
    // extension is added. False on failure, which failed() tells.
    bool saveAll(const QString &path, int chosenType = 0);
    // The list is emptied, and the file with it.
    void clear();

Q_SIGNALS:
    void failed(const QString &message);
    void told(const StatusMessage &message);

private:
    void askSaveAll();
    void askClear();
    // The dialogs stand over the Points window while it is open.
    QWidget *dialogParent() const;
    // The window shows the list as it is now; a failure to store it is told
    // once, until it is stored again.
    void changed(bool stored);
    QString keepingText() const;

    QWidget *const m_window;
    files::PointStore m_store;
    int m_current = 1;
    bool m_failing = false;
    QPointer<PointsWindow> m_list;
};

} // namespace quorvel
