// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "clockwatch.h"

#include "app/appinfo.h"
#include "app/appstate.h"
#include "app/clockwindow.h"
#include "app/receiverdelay.h"
#include "average/export.h"
#include "clock/clockadjustment.h"
#include "clock/clockkeeper.h"
#include "clock/clocksync.h"
#include "link/serialcontrol.h"
#include "settings/settingsstore.h"

#include <QDateTime>
#include <QMenu>
#include <QPushButton>
#include <QStringList>

namespace quorvel {

namespace {

const QString ClockSection = QStringLiteral("Clock");
const QString WithinKey = QStringLiteral("KeepWithinMs");

QString localTime(link::UtcTime at)
{
    const qint64 ms = std::chrono::floor<std::chrono::milliseconds>(at.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

const QString ClockWatch::KeepKey = QStringLiteral("Keep");

ClockWatch::ClockWatch(QPushButton *syncButton, const AppState &state, bool &keeping,
                       settings::SettingsStore &settings, const link::SerialControl &serial,
                       clock::SystemClock &systemClock, clock::ClockSync &sync, ReceiverDelay &delay,
                       QWidget *window)
    : QObject(window)
    , m_button(syncButton)
    , m_state(state)
    , m_keeping(keeping)
    , m_settings(settings)
    , m_serial(serial)
    , m_sync(sync)
    , m_delay(delay)
    , m_window(window)
    , m_keeper(new clock::ClockKeeper(systemClock, keeping, this))
{
    connect(&sync, &clock::ClockSync::timed, this, &ClockWatch::onBurstTimed);
    // The tooltip tells how old the last offset is once no bursts come.
    m_refresh.setInterval(1000);
    connect(&m_refresh, &QTimer::timeout, this, &ClockWatch::showAll);
    showTip();
}

ClockWatch::~ClockWatch()
{
    delete m_plot; // it reads the offset
}

bool ClockWatch::keepStored() const
{
    return m_settings.readSetting(ApplicationName, ClockSection, KeepKey, {}).trimmed().toLower()
        == QLatin1String("true");
}

std::chrono::milliseconds ClockWatch::keepWithin(QString *problem) const
{
    using clock::ClockKeeper;
    const QString text = m_settings.readSetting(ApplicationName, ClockSection, WithinKey, {}).trimmed();
    bool ok = false;
    const int ms = text.toInt(&ok);
    if (text.isEmpty() || (ok && ms >= ClockKeeper::MinWithinMs && ms <= ClockKeeper::MaxWithinMs))
        return ok ? std::chrono::milliseconds(ms) : ClockKeeper::DefaultWithin;
    if (problem) {
        *problem = tr("[Clock] KeepWithinMs=%1 is not a whole number of milliseconds from %2 to %3: %4 ms is "
                      "used.")
                       .arg(text)
                       .arg(ClockKeeper::MinWithinMs)
                       .arg(ClockKeeper::MaxWithinMs)
                       .arg(ClockKeeper::DefaultWithin.count());
    }
    return ClockKeeper::DefaultWithin;
}

void ClockWatch::setLead(const QString &lead)
{
    m_lead = lead;
    showTip();
}

void ClockWatch::onBurstTimed(const nmea::TimeOfDay &gpsTime, link::UtcTime epoch)
{
    // The monotonic clock at the burst: read now, less the time since it on
    // the PC's clock, both read back to back.
    const clock::SteadyTime at = std::chrono::steady_clock::now()
        - std::chrono::duration_cast<std::chrono::steady_clock::duration>(clock::pcUtcNow() - epoch);
    if (m_serial.CommPort() != std::exchange(m_port, m_serial.CommPort()))
        m_offset.breakSegment(); // another receiver
    const auto now = std::chrono::steady_clock::now();
    if (now - m_delayRead >= std::chrono::seconds(1)) {
        m_delayInUse = m_delay.delay().delay;
        m_delayRead = now;
    }
    const bool had = m_last.has_value();
    const int segments = m_offset.segmentsBegun();
    m_offset.add(gpsTime, epoch, at, m_delayInUse);
    // The clock moved, the bursts paused, or the receiver changed: what was
    // measured is past.
    if (m_offset.segmentsBegun() != segments)
        m_last.reset();
    if (const std::optional<clock::ClockOffset::Point> estimate = m_offset.estimate()) {
        m_last = estimate;
        m_lastSeen = now;
        if (m_keeping)
            m_keeper->consider(*estimate, keepWithin(), m_state.SyncPending || m_sync.busy());
    }
    // Some times a second are plenty for the eye and for a screen reader; a
    // source that never pauses makes a burst of every sentence. A first
    // figure is shown at once; the timer brings the last one within a second.
    if (had == m_last.has_value() && now - m_shown < std::chrono::milliseconds(200))
        return;
    m_shown = now;
    showAll();
}

void ClockWatch::showAll()
{
    showTip();
    if (m_plot)
        m_plot->refresh(description(true));
}

QString ClockWatch::description(bool withKeeping) const
{
    QStringList lines;
    if (m_last) {
        const auto age = std::chrono::steady_clock::now() - m_lastSeen;
        if (age <= clock::ClockOffset::Fresh) {
            lines << clock::ClockOffset::offsetSentence(m_last->offset) + QLatin1Char('.');
        } else {
            lines << tr("%1 at %2, %3 ago.")
                         .arg(clock::ClockOffset::offsetSentence(m_last->offset, true),
                              localTime(m_last->epoch),
                              average::durationText(
                                  int(std::chrono::duration_cast<std::chrono::seconds>(age).count())));
        }
    } else if (m_serial.PortOpen()) {
        lines << tr("Measuring how far this PC's clock is from GPS time\u2026");
    } else {
        lines << tr("How far this PC's clock is from GPS time is told here while a receiver is read "
                    "(logging, a clock sync, or keeping the clock).");
    }
    if (const std::optional<clock::ClockOffset::Drift> drift = m_offset.drift())
        lines << tr("Drift %1, over %2.")
                     .arg(clock::ClockOffset::driftText(*drift),
                          average::durationText(int(drift->span.count())));
    if (m_last || !m_offset.segments().empty()) {
        const ReceiverDelay::Delay delay = m_delay.delay();
        const QString ms = QString::number(m_offset.receiverDelay().count());
        QString assumed;
        switch (delay.origin) {
        case ReceiverDelay::Origin::Hand:
            assumed = tr("It assumes the receiver delay of %1 ms, set by hand.").arg(ms);
            break;
        case ReceiverDelay::Origin::HandForEveryReceiver:
            assumed = tr("It assumes the receiver delay of %1 ms, set by hand for every receiver.").arg(ms);
            break;
        case ReceiverDelay::Origin::Measured:
            assumed = tr("It assumes the receiver delay of %1 ms, measured for this receiver.").arg(ms);
            break;
        case ReceiverDelay::Origin::None:
            assumed = tr("It assumes a receiver delay of %1 ms: none is set or measured yet.").arg(ms);
            break;
        }
        lines << assumed + QLatin1Char(' ') + tr("Nothing else tells how wrong the clock is.");
    }
    if (withKeeping && m_keeping) {
        QString problem;
        lines << tr("Kept within %1 ms of GPS time: moved when further, at most once a minute.")
                     .arg(keepWithin(&problem).count());
        if (!problem.isEmpty())
            lines << problem;
    }
    return lines.join(QLatin1Char('\n'));
}

void ClockWatch::showTip()
{
    if (!m_last)
        m_refresh.stop();
    else if (!m_refresh.isActive())
        m_refresh.start();
    const QString offset = description(true);
    const QString tip = m_lead.isEmpty() ? offset : m_lead + QLatin1Char('\n') + offset;
    if (m_button->toolTip() != tip)
        m_button->setToolTip(tip);
}

void ClockWatch::addMenuItems(QMenu *menu)
{
    menu->addSeparator();
    menu->addAction(tr("Show &clock\u2026"), this, &ClockWatch::showWindow);
    QAction *keep = menu->addAction(tr("&Keep the clock on GPS time"));
    keep->setCheckable(true);
    keep->setChecked(m_keeping);
    keep->setToolTip(tr("Moves the PC clock when it is more than %1 ms from GPS time, at most once a minute; "
                        "the receiver's port stays open.")
                         .arg(keepWithin().count()));
    menu->setToolTipsVisible(true);
    connect(keep, &QAction::toggled, this, &ClockWatch::keepChosen);
}

void ClockWatch::showWindow()
{
    if (!m_plot) {
        m_plot = new ClockWindow(m_offset, m_keeping, m_window);
        m_plot->setKeepWithin(keepWithin());
    }
    m_plot->refresh(description(true));
    m_plot->show();
    m_plot->raise();
    m_plot->activateWindow();
}

} // namespace quorvel
