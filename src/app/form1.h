// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/appstate.h"
#include "app/statusline.h"
#include "average/stoprule.h"
#include "link/serialcontrol.h"

#include <QPointer>
#include <QWidget>

#include <chrono>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QRadioButton;

namespace quorvel::clock {
class ClockSync;
class SystemClock;
} // namespace quorvel::clock
namespace quorvel::settings {
class SettingsStore;
}

namespace quorvel {

class ControlKeys;
class MeanView;
class MonitorFeed;
class PointsOfTheDay;
class PortMenu;
class ReceiverDelay;
class StopRuleMenu;
class SyncClockMenu;

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
    // Position shows as a point named `name` in a GPX, KML or GeoJSON file
    // (by the name's extension; an existing file of the kind gets the point
    // added or is replaced, as the user answers). A failure is told to the
    // user; false then, and false while no mean is shown.
    bool saveFixesCsv(const QString &path);
    bool saveMean(const QString &path, const QString &name);
    // The window that plots the fixes around their mean, and the one that
    // lists the points of the day.
    void showScatter();
    void showPoints();

    // How long a clock sync waits for a fix before it is dropped; a pending
    // sync starts over with the new time.
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
    // Every loss of the UTC offset box's focus counts, changed or not, which
    // editingFinished misses.
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Escape, which no control of the window takes, cancels a pending sync.
    void keyPressEvent(QKeyEvent *event) override;

private:
    // `sentenceStart`: the number of the sentence's first received byte.
    void ProcessSentence(qint64 sentenceStart);
    // A sentence that may state the time: a pending sync, or the receiver's
    // delay being measured, takes it.
    void takeTime(const QString &line, qint64 sentenceStart);
    void SetCommPort(int port);

    // The controls in their places (form1layout.cpp).
    void createControls();
    void wireEvents();
    // What each option button does: switch the port, then save it.
    void choosePort(int port);
    // Opens the port if it is closed; when that fails, tells the user and
    // turns back the flags that asked for it.
    void openPort();
    void endPortUse();
    // Closes the port; waiting for a receiver that went away ends with it.
    void closePort();
    void onDeviceLost();
    void onDeviceBack();
    // A message of the serial control's; a receiver that could not be
    // reached is then waited for, as one that went away.
    void onPortNotice(const QString &text, const QString &details);
    // The COM buttons; port n is at index n - 1.
    QList<QRadioButton *> portOptions() const;
    // The receiver chosen for a COM port is stored and, for the port in
    // use, takes effect at once.
    void setPortSource(int port, const QString &source);
    // The UTC offset box shows the PC zone's offset now, which is in force
    // until the user types one.
    void followZoneOffset();
    // The offset a sync uses now: the one typed, else the PC zone's.
    int offsetInForce();
    // The state has changed: the status line and the sync button say so;
    // with `held`, the line says that first.
    void showState(const StatusMessage &held = {});
    // Sync PC Clock is disabled while the system answers. Disabling the
    // focused button would move the focus on to the offset box, where the
    // next key would land: it comes back to the button with its enabling.
    void enableSync(bool enabled);
    // Ends a pending sync without setting the clock, and says why.
    void cancelSync();
    void dropSync(const QString &why);
    void onClockAnswer(const QString &status, const QString &details, const QString &refusal);
    // The stop rule chosen in Start Log's menu is kept and followed.
    void setStopRule(const std::optional<average::StopRule> &rule);
    // The rule stored, when it is not the one last read or written: one edited
    // in the settings file while the program runs is taken up; one chosen that
    // could not be saved stays.
    void takeUpStoredStopRule();
    // The menu and Start Log's tooltip show the rule; the status line follows it.
    void followStopRule(const std::optional<average::StopRule> &rule);
    // New point: the mean of the point's fixes is kept (saved first, if the
    // user wishes), the ring emptied, and the next point begins.
    void startNewPoint();
    // The mean of every fix of the point being logged is kept; false when
    // the user cancels.
    bool keepPoint();
    // False when the value could not be stored; the first failure is told.
    bool writeSetting(const QString &section, const QString &key, const QString &value);
    // The settings file cannot be written: told once a run, whoever wrote.
    void tellSettingsFailure(const QString &message);
    // A message that does not wait for the user: one box, reused while open.
    void notify(const QString &text);
    void showModalMessage(const QString &text);

    settings::SettingsStore &m_settings;
    const std::unique_ptr<clock::SystemClock> m_clock;
    bool m_settingsFailureReported = false;
    bool m_syncHadFocus = false;
    // No offset is stored (or the one stored cannot be used): the offset
    // follows the PC's time zone, and the box shows `m_zoneOffsetShown`.
    bool m_offsetFollowsZone = false;
    QString m_zoneOffsetShown;
    std::optional<QString> m_storedStopRule; // as last read or written
    QPointer<QMessageBox> m_notice;
    // The pieces the handlers delegate to; all are children of the window.
    clock::ClockSync *m_sync = nullptr;
    StatusLine *m_status = nullptr;
    MeanView *m_results = nullptr;
    PortMenu *m_ports = nullptr;
    ControlKeys *m_keys = nullptr;
    StopRuleMenu *m_stopRules = nullptr;
    SyncClockMenu *m_syncMenu = nullptr;
    ReceiverDelay *m_delay = nullptr;
    PointsOfTheDay *m_points = nullptr;
    std::unique_ptr<MonitorFeed> m_feed;
};

} // namespace quorvel
