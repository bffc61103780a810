// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/appstate.h"
#include "average/statistics.h"
#include "clock/systemclock.h"
#include "link/serialcontrol.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <memory>
#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QRadioButton;

namespace quorvel::settings {
class SettingsStore;
}

namespace quorvel {

class ScatterWindow;

// The one window. It owns its controls, the serial control and the state
// that all handlers share; each handler is named after its control and event.
class Form1 : public QWidget, public AppState
{
    Q_OBJECT

public:
    // The window owns the serial control and the clock; the settings store
    // must outlive it.
    Form1(std::unique_ptr<link::SerialControl> serial, settings::SettingsStore &settings,
          std::unique_ptr<clock::SystemClock> systemClock, QWidget *parent = nullptr);
    // Closes the port while the window is still whole, and lets no signal of
    // the serial control or the clock reach it afterwards.
    ~Form1() override;

    // The stored fixes, oldest first, as a CSV file, and the mean that Calc
    // Position shows as GPX. A failure is told to the user; false then, and
    // false while no mean is shown.
    bool saveFixesCsv(const QString &path);
    bool saveMeanGpx(const QString &path);
    // The window that plots the fixes around their mean.
    void showScatter();

    // How long a clock sync waits for a fix before it is dropped; a pending
    // sync starts over with the new time.
    static constexpr std::chrono::minutes SyncTimeout{3};
    void setSyncTimeout(std::chrono::milliseconds timeout);

    // Settings of the platform to make before the application object exists.
    static void prepareApplication();

    // Start-up: restores the port and the UTC offset. Runs once, before the
    // window is first shown.
    void Form_Load();

    // Controls, named as the rest of the program knows them.
    QPushButton *CalcPos;
    QPushButton *Exit;
    QLabel *Label1;
    QGroupBox *Frame1;
    QPushButton *StartStop;
    QRadioButton *Option1;
    QRadioButton *Option2;
    QRadioButton *Option3;
    QRadioButton *Option4;
    QLineEdit *monitor;
    QLabel *Label2;
    QLineEdit *Latitidue;
    QLineEdit *Longitude;
    QLineEdit *Elevation;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
    QPushButton *SyncClock;
    QLineEdit *UTCOffset;
    QLabel *Label6;

private:
    const std::unique_ptr<link::SerialControl> m_serial;

public:
    link::SerialControl *const MSComm1;

public Q_SLOTS:
    void CalcPos_Click();
    void Exit_Click();
    void StartStop_Click();
    void SyncClock_Click();
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void Option4_Click();
    void UTCOffset_LostFocus();
    void MSComm1_OnComm();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void ProcessSentence();
    void showInMonitor(const QString &text);
    // The status line (Label1) and its tooltip.
    void setStatus(const QString &text, const QString &details);
    // A message of its own: the state does not cover it for a while.
    void holdStatus(const QString &text, const QString &details = {});
    // What is going on: logging (how many fixes, for how long), waiting for
    // the receiver (since when), logging off; a sync waiting for a fix.
    QString stateText(QString *details) const;
    // The state has changed: it replaces whatever the line says.
    void showState();
    // Once a second while logging or a sync waits: the count and the time,
    // unless a message of its own is still held.
    void followState();
    // Adds the time logging has run since the last look, and goes on timing
    // only while fixes can arrive.
    void accountLoggingTime();
    // "1 fix", "12 fixes"
    static QString fixCount(int count);
    // Count, span and spread in the status line; the mean in other forms in
    // the result boxes' tooltips.
    void describeMean(const average::Average &mean, const average::Spread &spread);
    std::optional<average::Average> currentMean() const;
    void refreshScatter();
    void showResultMenu(QLineEdit *box, const QPoint &at);
    // Shift+F10 opens the context menu, as the menu key does.
    bool openMenuFromKeyboard(QWidget *widget, const QKeyEvent &key);
    // The arrow keys move the focus through the COM buttons; only Space or
    // Enter chooses one.
    bool movePortFocus(QRadioButton *option, int key);
    bool saveFile(const QString &path, const QByteArray &content);
    void SetCommPort(int port);

    // What each option button does: switch the port, then save it.
    void choosePort(int port);
    void createControls();
    void wireEvents();
    // Opens the port if it is closed; when that fails, tells the user and
    // turns back the flags that asked for it.
    void openPort();
    void endPortUse();
    // Closes the port; waiting for a receiver that went away ends with it.
    void closePort();
    // Ends a pending sync without setting the clock, and says why.
    void dropSync(const QString &why);
    void onDeviceLost();
    void onDeviceBack();
    // The COM buttons; port n is at index n - 1.
    QList<QRadioButton *> portOptions() const;
    // Each COM button's tooltip says what it reads from.
    void describePorts();
    // The receivers a COM port may read, to choose from; the choice is
    // stored and, for the port in use, takes effect at once.
    void showPortMenu(int port, const QPoint &at);
    void askPortSource(int port);
    void setPortSource(int port, const QString &source);
    void writeSetting(const QString &section, const QString &key, const QString &value);
    void onClockSet(qint64 movedMs);
    void onClockRefused(const QString &message);
    // The offset of the PC's own time zone now, in minutes.
    static int systemUtcOffsetMinutes();
    void saveSetting(const QString &key, const QString &value);
    // A message that does not wait for the user: one box, reused while open.
    void notify(const QString &text);
    void showModalMessage(const QString &text);

    settings::SettingsStore &m_settings;
    const std::unique_ptr<clock::SystemClock> m_clock;
    QPointer<QMessageBox> m_notice;
    bool m_settingsFailureReported = false;
    // A clock request has been sent and not yet answered: no second one may
    // start, or the clock would be moved twice.
    bool m_clockBusy = false;
    QString m_timeRequested; // of that request, for the status line
    int m_offsetRequested = 0;
    QTimer m_statusTimer; // while logging or a sync waits
    QTimer m_syncTimer; // drops a sync that waits too long
    QElapsedTimer m_logging; // since the last look at the logging time, while fixes can arrive
    QElapsedTimer m_statusHeld; // since a message the count must not cover at once
    static constexpr qint64 HeldStatusMs = 8000;
    // Received bytes are taken in batches some 50 ms apart.
    static constexpr int StatusSlackMs = 150;
    qint64 m_loggedMs = 0; // how long logging has run in all
    QDateTime m_waitingSince; // the receiver went away then; invalid while it is there
    // What Calc Position shows: what the exports of the mean write.
    std::optional<average::Average> m_shownMean;
    average::Spread m_shownSpread;
    // A whole line left in the monitor box to be seen; the next line's
    // characters replace it rather than follow it.
    QString m_finishedLine;
    QPointer<ScatterWindow> m_scatter;
};

} // namespace quorvel
