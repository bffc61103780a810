// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "form1.h"

#include "app/appinfo.h"
#include "app/clockquestions.h"
#include "app/clockwatch.h"
#include "app/controlkeys.h"
#include "app/meanview.h"
#include "app/monitorfeed.h"
#include "app/pointsoftheday.h"
#include "app/portmenu.h"
#include "app/receiverdelay.h"
#include "app/statusline.h"
#include "app/stoprulemenu.h"
#include "app/syncclockmenu.h"
#include "app/translation.h"
#include "average/average.h"
#include "average/export.h"
#include "clock/clockadjustment.h"
#include "clock/clockkeeper.h"
#include "clock/clocksync.h"
#include "clock/systemclock.h"
#include "link/sourcespec.h"
#include "settings/integertext.h"
#include "settings/settingsstore.h"
#include "settings/utcoffset.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStringList>

namespace quorvel {

namespace {

const QString MainSection = QStringLiteral("Main");
const QString LoggingSection = QStringLiteral("Logging");
const QString StopRuleKey = QStringLiteral("StopRule");
const QString ClockSection = QStringLiteral("Clock");

std::string decimalSeparator()
{
    return QLocale().decimalPoint().toStdString();
}

} // namespace

Form1::Form1(std::unique_ptr<link::SerialControl> serial, settings::SettingsStore &settings,
             std::unique_ptr<clock::SystemClock> systemClock, QWidget *parent)
    : QWidget(parent)
    , m_serial(std::move(serial))
    , MSComm1(m_serial.get())
    , m_settings(settings)
    , m_clock(std::move(systemClock))
{
    installTranslation();
    createControls();
    m_sync = new clock::ClockSync(*m_clock, SyncPending, this);
    m_sync->setEarliestDate({ReleaseYear, ReleaseMonth, ReleaseDay});
    m_syncMenu = new SyncClockMenu(SyncClock, this);
    m_delay = new ReceiverDelay(m_settings, *MSComm1, *m_clock, *m_sync, this);
    m_watch
        = new ClockWatch(SyncClock, *this, Keeping, m_settings, *MSComm1, *m_clock, *m_sync, *m_delay, this);
    new ClockQuestions(*m_sync, m_watch->keeper(), this);
    m_status = new StatusLine(Label1, *this, *MSComm1, *m_sync, this);
    m_results = new MeanView(Latitidue, Longitude, Elevation, *this, this);
    m_ports = new PortMenu(portOptions(), *MSComm1, m_settings, this);
    m_keys = new ControlKeys(portOptions(), this);
    m_stopRules = new StopRuleMenu(StartStop, this);
    m_points = new PointsOfTheDay(this);
    m_feed = std::make_unique<MonitorFeed>(monitor);
    wireEvents();
}

Form1::~Form1()
{
    MSComm1->disconnect(this);
    MSComm1->disconnect(m_ports);
    m_sync->disconnect(this);
    m_clock->disconnect(m_sync);
    m_clock->disconnect(m_delay);
    m_clock->disconnect(&m_watch->keeper());
    MSComm1->setPortOpen(false);
}

void Form1::wireEvents()
{
    // Buttons
    connect(CalcPos, &QPushButton::clicked, this, &Form1::CalcPos_Click);
    connect(Exit, &QPushButton::clicked, this, &Form1::Exit_Click);
    connect(StartStop, &QPushButton::clicked, this, &Form1::StartStop_Click);
    connect(SyncClock, &QPushButton::clicked, this, &Form1::SyncClock_Click);

    // An option button's handler runs whenever it becomes selected, by the
    // user or by code (toggled, unlike clicked, covers both, and only once).
    const auto onSelected = [this](QRadioButton *option, void (Form1::*handler)()) {
        connect(option, &QRadioButton::toggled, this, [this, handler](bool checked) {
            if (checked)
                (this->*handler)();
        });
    };
    onSelected(Option1, &Form1::Option1_Click);
    onSelected(Option2, &Form1::Option2_Click);
    onSelected(Option3, &Form1::Option3_Click);
    onSelected(Option4, &Form1::Option4_Click);

    // The keys of every control, and the offset box's loss of the focus.
    m_keys->watch(this);
    UTCOffset->installEventFilter(this);

    // The pieces: the status line, the results, the COM buttons' receivers.
    connect(m_status, &StatusLine::loggingFollowed, m_results, &MeanView::refreshScatter);
    connect(m_results, &MeanView::failed, this, &Form1::notify);
    connect(m_results, &MeanView::told, m_status, &StatusLine::hold);
    connect(m_stopRules, &StopRuleMenu::ruleChosen, this, &Form1::setStopRule);
    connect(m_stopRules, &StopRuleMenu::newPointChosen, this, &Form1::startNewPoint);
    // The points of the day: every mean saved is kept.
    connect(m_results, &MeanView::meanSaved, m_points, &PointsOfTheDay::keep);
    connect(m_results, &MeanView::pointsWanted, this, &Form1::showPoints);
    connect(m_points, &PointsOfTheDay::failed, this, &Form1::notify);
    connect(m_points, &PointsOfTheDay::told, m_status, &StatusLine::hold);
    // A rule met stops logging as Stop Log does; the status line says why.
    connect(m_status, &StatusLine::stopRuleMet, this, [this] {
        if (Logging)
            StartStop_Click();
    });
    connect(m_ports, &PortMenu::sourceChosen, this, &Form1::setPortSource);
    connect(m_ports, &PortMenu::refused, this, &Form1::notify);

    // Receiver link and clock
    connect(MSComm1, &link::SerialControl::OnComm, this, &Form1::MSComm1_OnComm);
    connect(MSComm1, &link::SerialControl::deviceLost, this, &Form1::onDeviceLost);
    connect(MSComm1, &link::SerialControl::deviceBack, this, &Form1::onDeviceBack);
    connect(MSComm1, &link::SerialControl::notice, this, &Form1::onPortNotice);
    connect(m_sync, &clock::ClockSync::timedOut, this, &Form1::dropSync);
    connect(m_sync, &clock::ClockSync::answered, this, &Form1::onClockAnswer);
    connect(m_delay, &ReceiverDelay::failed, this, &Form1::tellSettingsFailure);
    // Sync PC Clock's menu: each piece adds its items, in this order.
    connect(m_syncMenu, &SyncClockMenu::aboutToShow, m_delay, &ReceiverDelay::addMenuItems);
    connect(m_syncMenu, &SyncClockMenu::aboutToShow, m_watch, &ClockWatch::addMenuItems);
    // Keeping the clock: chosen in the menu; each move, like a press, is
    // answered before Sync PC Clock takes another.
    connect(m_watch, &ClockWatch::keepChosen, this, [this](bool on) { keepClock(on); });
    clock::ClockKeeper *keeper = &m_watch->keeper();
    connect(keeper, &clock::ClockKeeper::moving, this, [this] { enableSync(false); });
    connect(keeper, &clock::ClockKeeper::answered, this,
            [this](const QString &status, const QString &details) {
                enableSync(true);
                m_status->hold({status, details});
            });
    connect(keeper, &clock::ClockKeeper::stopped, this, &Form1::onKeepingStopped);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == UTCOffset && event->type() == QEvent::FocusOut) {
        // Focus leaving the window (another program, a menu) is not focus
        // moving to another control.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            UTCOffset_LostFocus();
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && SyncPending) {
        cancelSync();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form1::Form_Load()
{
    resetForStartUp();

    // The stored port, its button selected. Without one, COM 1 is used as if
    // none were stored, and the text stays in the file as it was written.
    const QList<QRadioButton *> options = portOptions();
    if (const std::optional<int> port = m_ports->storedPort(); port && MSComm1->setCommPort(*port)) {
        options[*port - 1]->setChecked(true); // runs its handler now
    } else {
        MSComm1->setCommPort(1);
        const QSignalBlocker unsaved(options.first());
        options.first()->setChecked(true);
    }

    // What start-up has to tell, in one message.
    QStringList told;

    // The stored offset, the user's. Without one, the offset follows the PC's
    // time zone, summer time included. One that cannot be used (a number of
    // hours beyond any zone's, which would move the clock by days) is left
    // in the file and told.
    const QString storedOffset
        = m_settings.readSetting(ApplicationName, MainSection, QStringLiteral("UTCOffset"), QString());
    const std::optional<int> minutes = storedOffset.trimmed().isEmpty()
        ? std::nullopt
        : settings::storedUtcOffset(storedOffset.toStdString(), decimalSeparator());
    if (minutes && *minutes >= settings::MinUtcOffsetMinutes && *minutes <= settings::MaxUtcOffsetMinutes) {
        UtcOffsetMinutes = *minutes;
        UTCOffset->setText(storedOffset);
    } else {
        followZoneOffset();
        if (!storedOffset.trimmed().isEmpty()) {
            told << (tr("The UTC offset in the settings, \"%1\", is not one GPS Quorvel can use (whole "
                        "hours, or "
                        "hours and minutes, from -12:00 to +14:00), so the PC's time zone, %2, is used. Type "
                        "an "
                        "offset into the UTC Offset box to use another.")
                         .arg(storedOffset,
                              QString::fromStdString(settings::utcOffsetLabel(UtcOffsetMinutes))));
        }
    }

    // When logging stops by itself, as chosen last time.
    takeUpStoredStopRule();

    // The point being logged: the one after those kept.
    m_status->startPoint(m_points->current());

    // Keeping the clock on GPS time, as chosen last time, opens the port.
    if (m_watch->keepStored())
        keepClock(true, false);

    CalcPos->setFocus();
    m_ports->describePorts();

    for (const QString &problems : {m_points->problems(), m_settings.problems(ApplicationName)}) {
        if (!problems.isEmpty())
            told.prepend(problems);
    }
    if (!told.isEmpty())
        notify(told.join(QStringLiteral("\n\n")));
}

void Form1::Exit_Click()
{
    QCoreApplication::exit(0);
}

void Form1::CalcPos_Click()
{
    if (SampleCount == 0) {
        showModalMessage(QStringLiteral("No data recevied from GPS"));
        return;
    }

    setCursor(Qt::WaitCursor);
    const std::optional<average::Average> average = average::averageSamples(*this);
    LatSum = average->latSum;
    LonSum = average->lonSum;
    ElevSum = average->elevSum;
    if (!average->mean.isFinite()) {
        unsetCursor();
        showModalMessage(tr("The logged positions cannot be averaged: the receiver sent values "
                            "too large to add up.\n\nCheck the receiver, then choose New point in Start "
                            "Log's context menu to clear the logged positions."));
        return;
    }
    m_results->setPointBefore(m_points->pointBefore());
    m_status->hold(m_results->show(*average));
    unsetCursor();
}

bool Form1::saveFixesCsv(const QString &path)
{
    return m_results->saveFixesCsv(path);
}

bool Form1::saveMean(const QString &path, const QString &name)
{
    return m_results->saveMean(path, name);
}

void Form1::setStopRule(const std::optional<average::StopRule> &rule)
{
    followStopRule(rule);
    showState();
    const QString text = rule ? average::stopRuleSetting(*rule) : QStringLiteral("none");
    if (writeSetting(LoggingSection, StopRuleKey, text))
        m_storedStopRule = text;
}

void Form1::takeUpStoredStopRule()
{
    const QString stored = m_settings.readSetting(ApplicationName, LoggingSection, StopRuleKey, QString());
    if (m_storedStopRule != stored)
        followStopRule(average::parseStopRule(stored));
    m_storedStopRule = stored;
}

void Form1::followStopRule(const std::optional<average::StopRule> &rule)
{
    m_stopRules->setRule(rule);
    m_status->setStopRule(rule);
}

void Form1::showScatter()
{
    m_results->showScatter();
}

void Form1::showPoints()
{
    m_points->showWindow();
}

void Form1::startNewPoint()
{
    if (SampleCount == 0) {
        showState({tr("Point %1 has no fixes yet.").arg(m_points->current()), {}});
        return;
    }
    // The point's mean is that of all its fixes, those stored since Calc
    // Position too: it is taken again, and shown.
    if (!m_results->showsAllFixes())
        CalcPos_Click();
    if (!keepPoint())
        return;
    empty();
    m_points->startNext();
    m_results->clear();
    m_results->refreshScatter();
    m_status->startPoint(m_points->current());
    showState();
}

bool Form1::keepPoint()
{
    const int number = m_points->current();
    if (!m_results->showsAllFixes()) {
        // Calc Position has said why they cannot be averaged.
        return QMessageBox::question(this, tr("New point"),
                                     tr("The fixes of point %1 cannot be averaged, and are not kept.\n\n"
                                        "Begin point %2 without them?")
                                         .arg(number)
                                         .arg(number + 1),
                                     QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel)
            == QMessageBox::Yes;
    }
    if (!m_results->shownSaved()) {
        const std::optional<files::MeanPoint> shown = m_results->shownPoint();
        QMessageBox box(QMessageBox::Question, tr("New point"),
                        tr("The mean of point %1 (%2) has not been saved to a file.\n\nIt is kept among the "
                           "points of the day either way. Save it to a file before point %3 begins?")
                            .arg(number)
                            .arg(average::fixesText(shown->spread.count, shown->spread.spanSeconds))
                            .arg(number + 1),
                        QMessageBox::Cancel, this);
        QPushButton *save = box.addButton(tr("&Save\u2026"), QMessageBox::AcceptRole);
        QPushButton *listOnly = box.addButton(tr("&Keep it in the list only"), QMessageBox::DestructiveRole);
        // Enter saves, Escape cancels: a key pressed in passing loses nothing.
        box.setDefaultButton(save);
        box.setEscapeButton(QMessageBox::Cancel);
        box.exec();
        if (box.clickedButton() == save) {
            if (!m_results->askMeanFile())
                return false;
        } else if (box.clickedButton() != listOnly) {
            return false;
        }
    }
    m_points->keep(*m_results->shownPoint());
    return true;
}

void Form1::StartStop_Click()
{
    if (!Logging) {
        takeUpStoredStopRule();
        startLogging(); // the time until the next fix is a pause, not logging
    }
    Logging = !Logging;
    StartStop->setText(Logging ? tr("Stop Log") : tr("Start Log"));
    if (portWanted())
        openPort();
    else
        closePort();
    showState();
}

void Form1::SyncClock_Click()
{
    // A second press cancels a pending sync; while the system answers, a
    // press does nothing (the button is disabled then).
    if (SyncPending) {
        cancelSync();
        return;
    }
    // While the system answers a move that keeps the clock, the button is
    // disabled as it is for a press.
    if (m_watch->keeper().busy() || !m_sync->request())
        return;
    m_sync->setReceiverDelay(m_delay->delay().delay);
    openPort();
    showState();
}

void Form1::setSyncTimeout(std::chrono::milliseconds timeout)
{
    m_sync->setTimeout(timeout);
}

void Form1::cancelSync()
{
    m_sync->cancel();
    dropSync(tr("Clock sync cancelled: the PC clock was not set."));
}

void Form1::dropSync(const QString &why)
{
    if (!portWanted())
        closePort();
    showState({why, {}});
}

void Form1::Option1_Click()
{
    choosePort(1);
}

void Form1::Option2_Click()
{
    choosePort(2);
}

void Form1::Option3_Click()
{
    choosePort(3);
}

void Form1::Option4_Click()
{
    choosePort(4);
}

void Form1::choosePort(int port)
{
    SetCommPort(port);
    writeSetting(MainSection, QStringLiteral("Port"),
                 QString::fromStdString(settings::integerText(port))); // after the switch
}

void Form1::SetCommPort(int port)
{
    const bool inUse = portWanted();
    if (MSComm1->PortOpen())
        closePort();
    MSComm1->setCommPort(port);
    if (inUse) {
        openPort();
        showState(); // on another port, or stopped where it could not open
    }
}

void Form1::openPort()
{
    if (MSComm1->setPortOpen(true)) {
        // Whether the receiver's delay can be measured now.
        m_clock->checkSynchronized();
        return;
    }
    // The port is closed, so neither logging nor a sync nor keeping can go on.
    endPortUse();
    notify(MSComm1->errorString());
}

void Form1::endPortUse()
{
    Logging = false;
    Keeping = false; // for this run; the stored choice stays
    StartStop->setText(tr("Start Log"));
    m_sync->cancel();
    m_status->setWaitingForReceiver(false);
    showState();
}

void Form1::closePort()
{
    MSComm1->setPortOpen(false);
    m_delay->stopMeasuring();
    m_status->setWaitingForReceiver(false);
}

void Form1::onDeviceLost()
{
    // The serial control waits for the receiver and opens it again by
    // itself: logging and a pending sync go on when it is back.
    m_status->setWaitingForReceiver(true);
    showState();
}

void Form1::onDeviceBack()
{
    m_status->setWaitingForReceiver(false);
    showState({tr("Receiver on COM %1 is back.").arg(MSComm1->CommPort()), {}});
}

void Form1::onPortNotice(const QString &text, const QString &details)
{
    if (MSComm1->receiverMissing())
        m_status->setWaitingForReceiver(true);
    showState({text, details});
}

void Form1::setPortSource(int port, const QString &source)
{
    writeSetting(link::PortsSection, link::portKey(port), source);
    // A change to the port in use takes effect at once.
    if (port == MSComm1->CommPort() && MSComm1->PortOpen())
        SetCommPort(port);
    m_ports->describePorts();
}

void Form1::UTCOffset_LostFocus()
{
    const QString text = UTCOffset->text();
    // An offset nobody typed is not stored: stored, it would stay while the
    // zone moves to summer time and back.
    if (m_offsetFollowsZone && !UTCOffset->isModified() && text == m_zoneOffsetShown)
        return;
    UTCOffset->setModified(false);
    const QString stored
        = m_settings.readSetting(ApplicationName, MainSection, QStringLiteral("UTCOffset"), QString());
    if (text.trimmed().isEmpty()) {
        // An empty box goes back to following the zone.
        followZoneOffset();
        if (!stored.isEmpty())
            writeSetting(MainSection, QStringLiteral("UTCOffset"), QString());
        return;
    }
    const std::optional<int> typed = settings::parseUtcOffset(text.toStdString(), decimalSeparator());
    if (!typed && m_offsetFollowsZone)
        return; // nothing taken in: the zone's offset stays in force, and unstored
    if (typed) {
        UtcOffsetMinutes = *typed;
        m_offsetFollowsZone = false;
    }
    writeSetting(MainSection, QStringLiteral("UTCOffset"),
                 QString::fromStdString(settings::utcOffsetText(UtcOffsetMinutes)));
}

void Form1::followZoneOffset()
{
    m_offsetFollowsZone = true;
    UtcOffsetMinutes = clock::systemUtcOffsetMinutes();
    m_zoneOffsetShown = QString::fromStdString(settings::utcOffsetText(UtcOffsetMinutes));
    if (UTCOffset->text() != m_zoneOffsetShown)
        UTCOffset->setText(m_zoneOffsetShown);
}

int Form1::offsetInForce()
{
    // The zone may have moved to or from summer time since start-up. The box
    // follows, unless the user is typing into it.
    if (m_offsetFollowsZone) {
        if (UTCOffset->text() == m_zoneOffsetShown && !UTCOffset->isModified())
            followZoneOffset();
        else
            UtcOffsetMinutes = clock::systemUtcOffsetMinutes();
    }
    return UtcOffsetMinutes;
}

void Form1::showState(const StatusMessage &held)
{
    m_status->showState(held);
    m_watch->setLead(SyncPending
                         ? tr("Waiting for a fix to set the clock: press again, or Escape, to cancel.")
                         : QString());
}

void Form1::onClockAnswer(const QString &status, const QString &details, const QString &refusal)
{
    enableSync(true);
    m_status->hold({status, details});
    if (!refusal.isEmpty())
        notify(refusal);
}

void Form1::keepClock(bool on, bool store)
{
    Keeping = on;
    if (store)
        writeSetting(ClockSection, ClockWatch::KeepKey,
                     on ? QStringLiteral("true") : QStringLiteral("false"));
    if (Keeping)
        openPort();
    else if (!portWanted())
        closePort();
    showState();
}

void Form1::onKeepingStopped(const QString &why)
{
    writeSetting(ClockSection, ClockWatch::KeepKey, QStringLiteral("false"));
    if (!portWanted())
        closePort();
    if (!why.isEmpty())
        notify(why);
}

void Form1::MSComm1_OnComm()
{
    if (MSComm1->InBufferCount() <= 0)
        return;
    const QByteArray batch = MSComm1->Input();
    // Every GGA sentence times its burst, which tells how far the PC's clock
    // is from GPS time; the other sentences that state the time count too
    // while a sync waits or the receiver's delay is measured (putting each
    // in the box costs more than all the rest of receiving).
    m_feed->take(batch, MSComm1->inputPosition(), MSComm1->deliversWholeLines(),
                 SyncPending || m_delay->measuring(),
                 [this](qint64 sentenceStart) { ProcessSentence(sentenceStart); });
    m_status->catchUp();
}

void Form1::ProcessSentence(qint64 sentenceStart)
{
    const QString line = monitor->text();
    if (Logging) {
        if (const std::optional<nmea::GgaFix> fix = MonitorFeed::decode(line)) {
            storeFix(*fix);
            m_status->fixStored(); // may stop logging
        }
    }
    takeTime(line, sentenceStart);
}

void Form1::takeTime(const QString &line, qint64 sentenceStart)
{
    // A GGA line whose time field is no valid time still counts as a
    // sample, but states no time.
    const std::optional<nmea::SentenceTime> time = MonitorFeed::decodeTime(line);
    if (!time)
        return;
    // A control that does not time its bursts: the line has just arrived.
    std::optional<link::BurstTiming::Burst> burst = MSComm1->burstOf(sentenceStart);
    if (!burst && MSComm1->timesBursts())
        return; // its burst began before the port opened: a later one times the clock
    if (!burst)
        burst = link::BurstTiming::Burst{sentenceStart, clock::pcUtcNow()};
    // The sync step: the first time sentence while a sync waits. Only then
    // is the zone's offset read: while the delay is measured, every burst
    // comes here.
    if (!m_sync->takeTime(*time, *burst, SyncPending ? offsetInForce() : UtcOffsetMinutes))
        return;
    enableSync(false); // until the system has answered
    if (!portWanted())
        closePort();
    showState();
    m_sync->setClock();
}

void Form1::enableSync(bool enabled)
{
    if (!enabled && SyncClock->hasFocus())
        m_syncHadFocus = true;
    SyncClock->setEnabled(enabled);
    if (enabled && std::exchange(m_syncHadFocus, false))
        SyncClock->setFocus(Qt::OtherFocusReason);
}

bool Form1::writeSetting(const QString &section, const QString &key, const QString &value)
{
    if (m_settings.writeSetting(ApplicationName, section, key, value))
        return true;
    tellSettingsFailure(
        tr("The settings could not be saved to %1: %2.\n\nGPS Quorvel goes on with the values "
           "in effect, but will not remember them.")
            .arg(m_settings.location(ApplicationName), m_settings.errorString()));
    return false;
}

void Form1::tellSettingsFailure(const QString &message)
{
    if (!std::exchange(m_settingsFailureReported, true))
        notify(message);
}

void Form1::notify(const QString &text)
{
    if (!m_notice) {
        m_notice = new QMessageBox(QMessageBox::Warning, ApplicationName, text, QMessageBox::Ok, this);
        m_notice->setAttribute(Qt::WA_DeleteOnClose);
        m_notice->setWindowModality(Qt::NonModal);
    }
    m_notice->setText(text);
    m_notice->show();
    m_notice->raise();
}

void Form1::showModalMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, ApplicationName, text, QMessageBox::Ok, this);
    box.exec();
}

} // namespace quorvel
