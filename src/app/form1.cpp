// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "form1.h"

#include "app/appinfo.h"
#include "app/scatterwindow.h"
#include "average/average.h"
#include "average/export.h"
#include "average/numbertext.h"
#include "average/statistics.h"
#include "clock/systemclock.h"
#include "clock/timestring.h"
#include "link/serialcontrol.h"
#include "link/sourcespec.h"
#include "nmea/gga.h"
#include "nmea/lineassembly.h"
#include "settings/integertext.h"
#include "settings/settingsstore.h"
#include "settings/utcoffset.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QStyleOption>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quorvel {

namespace {

const QString MainSection = QStringLiteral("Main");

// The layout is given in twips; 15 twips are one pixel at 96 dots per inch.
constexpr int pixels(int twips)
{
    return twips / 15;
}

// Room a button's frame and an option button's indicator take from the caption.
constexpr int ButtonPadding = 8;
constexpr int OptionPadding = 22;

void place(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(pixels(left), pixels(top), pixels(width), pixels(height));
}

QFont sansSerif(qreal pointSize)
{
    // Where this face is missing, a sans-serif of similar width keeps the
    // captions inside their fixed boxes; failing those, the platform's own.
    static const bool substituted = [] {
        QFont::insertSubstitutions(
            QStringLiteral("MS Sans Serif"),
            {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("Helvetica")});
        return true;
    }();
    Q_UNUSED(substituted);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    return font;
}

// Captions stand in fixed boxes. Where the font found is wider than the one
// the layout was made for, the caption's size is stepped down until it fits.
void fitCaption(QWidget *widget, const QString &text, int padding)
{
    QFont font = widget->font();
    while (QFontMetrics(font).horizontalAdvance(text) > widget->width() - padding && font.pointSizeF() > 6)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    if (font != widget->font())
        widget->setFont(font);
}

// The monitor box is repainted whenever received text arrives. Its frame
// never changes, but an antialiased rounded frame is most of what a repaint
// of a line edit costs; this style draws the panel once per size, state and
// palette, on the window's own background so that it is opaque, and then
// copies it.
class CachedPanelStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element != PE_PanelLineEdit) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const qreal ratio = painter->device()->devicePixelRatio();
        const QString key = QStringLiteral("%1x%2@%3 %4 %5")
                                .arg(option->rect.width())
                                .arg(option->rect.height())
                                .arg(ratio)
                                .arg(uint(option->state))
                                .arg(option->palette.cacheKey());
        if (key != m_key) {
            m_panel = QPixmap(option->rect.size() * ratio);
            m_panel.setDevicePixelRatio(ratio);
            m_panel.fill(option->palette.color(QPalette::Window));
            QPainter panelPainter(&m_panel);
            QStyleOption moved = *option;
            QStyleOptionFrame frame;
            const auto *original = qstyleoption_cast<const QStyleOptionFrame *>(option);
            if (original)
                frame = *original;
            QStyleOption &at = original ? static_cast<QStyleOption &>(frame) : moved;
            at.rect.moveTopLeft(QPoint(0, 0));
            QProxyStyle::drawPrimitive(element, &at, &panelPainter, widget);
            m_key = key;
        }
        painter->drawPixmap(option->rect.topLeft(), m_panel);
    }

private:
    mutable QString m_key;
    mutable QPixmap m_panel;
};

std::string decimalSeparator()
{
    return QLocale().decimalPoint().toStdString();
}

// Qt picks a translation's plural form by %n, but shows the source text as
// it stands where no translation is loaded: English keeps a text for one
// and one for more, each open to a translation's own forms.
QString plural(int n, const QString &one, const QString &more)
{
    return n == 1 ? one : more;
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
    createControls();
    wireEvents();
}

void Form1::prepareApplication()
{
    // A window that repaints one line of text 20 times a second gains
    // nothing from X11 shared memory, which costs a second wakeup per
    // repaint (Qt waits for the server's completion event).
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
}

Form1::~Form1()
{
    MSComm1->disconnect(this);
    m_clock->disconnect(this);
    MSComm1->setPortOpen(false);
}

void Form1::createControls()
{
    setWindowTitle(QStringLiteral("GPS Quorvel"));
    setWindowIcon(QIcon(QStringLiteral(":/quorvel/quorvel.png")));
    setFont(sansSerif(8));
    resize(pixels(5775), pixels(4830));

    const auto button = [this](const QString &caption, int left, int top, int width, int height) {
        auto *b = new QPushButton(caption, this);
        b->setAutoDefault(false);
        place(b, left, top, width, height);
        return b;
    };
    const auto label = [this](const QString &caption, int left, int top, int width, int height) {
        auto *l = new QLabel(caption, this);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        place(l, left, top, width, height);
        return l;
    };
    const auto option = [this](const QString &caption, int left, int top, int width, int height) {
        auto *o = new QRadioButton(caption, this);
        place(o, left, top, width, height);
        return o;
    };
    const auto textBox = [this](int left, int top, int width, int height) {
        auto *t = new QLineEdit(this);
        place(t, left, top, width, height);
        return t;
    };

    // Created in focus order. The frame comes before the option buttons, so
    // they stand on top of it; they belong to the window, not the frame.
    CalcPos = button(tr("Calc Position"), 1800, 3240, 1215, 495);
    Exit = button(tr("Exit"), 3360, 4080, 1215, 495);
    Label1 = label(tr("GPS Quorvel %1 \u00b7 NMEA 0183").arg(ShortVersion), 120, 4080, 2895, 495);
    Label1->setWordWrap(true); // the status line: two short lines at most
    // Its text is its accessible name, so that a screen reader reads it and
    // hears of each change.
    Label1->setAccessibleDescription(tr("Status line"));
    Frame1 = new QGroupBox(tr("Port"), this);
    place(Frame1, 4320, 120, 1335, 2415);
    StartStop = button(tr("Start Log"), 120, 3240, 1215, 495);
    Option1 = option(tr("COM 1"), 4440, 360, 1095, 495);
    Option2 = option(tr("COM 2"), 4440, 840, 1095, 495);
    Option3 = option(tr("COM 3"), 4440, 1320, 1095, 495);
    Option4 = option(tr("COM 4"), 4440, 1800, 975, 495);
    monitor = textBox(480, 2640, 5055, 375);
    Label2 = label(tr("Currnet GPS Data"), 480, 2400, 1575, 495);
    auto *panelStyle = new CachedPanelStyle;
    panelStyle->setParent(this); // created after the box, so deleted after it
    monitor->setStyle(panelStyle);
    monitor->setAttribute(Qt::WA_OpaquePaintEvent); // the panel covers it all
    // Received text is plain ASCII and needs no shaping (kerning,
    // ligatures), which was most of the cost of laying out the box's text,
    // done at every change and again at every repaint. Only the strategy
    // is set; the face and size still follow the window's.
    QFont unshaped;
    unshaped.setStyleStrategy(QFont::PreferNoShaping);
    monitor->setFont(unshaped);

    // The caption's box reaches down over the monitor box; its text does not.
    // Masked to the part above the monitor, it is not repainted with it.
    Label2->setMask(QRegion(0, 0, Label2->width(), pixels(2640 - 2400)));
    Latitidue = textBox(1920, 360, 2055, 495);
    Longitude = textBox(1920, 1080, 2055, 495);
    Elevation = textBox(1920, 1800, 2055, 495);
    Label3 = label(tr("Latitude"), 600, 480, 1215, 495);
    Label4 = label(tr("Longitude"), 600, 1200, 1215, 495);
    Label5 = label(tr("Elevation"), 600, 1920, 1215, 495);
    SyncClock = button(tr("Sync PC Clock"), 3360, 3240, 1215, 495);
    UTCOffset = textBox(4800, 3450, 855, 285);
    UTCOffset->setText(QStringLiteral("0"));
    Label6 = label(tr("UTC Offset"), 4800, 3240, 855, 255);

    for (QLineEdit *result : {Latitidue, Longitude, Elevation})
        result->setFont(sansSerif(12));

    // Each box is named by the caption beside it, for screen readers.
    const auto name = [](QLabel *caption, QLineEdit *box) {
        caption->setBuddy(box);
        box->setAccessibleName(caption->text());
    };
    name(Label2, monitor);
    name(Label3, Latitidue);
    name(Label4, Longitude);
    name(Label5, Elevation);
    name(Label6, UTCOffset);
    for (QLabel *caption : {Label3, Label4, Label5})
        caption->setFont(sansSerif(13.5));
    for (QLabel *caption : {Label2, Label3, Label4, Label5, Label6})
        fitCaption(caption, caption->text(), 0);
    for (QPushButton *b : {CalcPos, Exit, StartStop, SyncClock})
        fitCaption(b, b->text(), ButtonPadding);
    for (QRadioButton *o : {Option1, Option2, Option3, Option4})
        fitCaption(o, o->text(), OptionPadding);

    // Labels and the frame never take the focus; Qt makes the four option
    // buttons one stop once one of them is selected.
    const QList<QWidget *> focusOrder{CalcPos, Exit,      StartStop, Option1,   Option2,   Option3,  Option4,
                                      monitor, Latitidue, Longitude, Elevation, SyncClock, UTCOffset};
    for (qsizetype i = 1; i < focusOrder.size(); ++i)
        setTabOrder(focusOrder[i - 1], focusOrder[i]);
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

    // Every control that takes the focus: Return and Enter click a focused
    // button, as Space does; Shift+F10 opens a context menu, as the menu key
    // does; the arrow keys move through the COM buttons; and every loss of
    // the UTC offset box's focus counts, changed or not, which
    // editingFinished misses.
    for (QWidget *control : findChildren<QWidget *>()) {
        if (control->focusPolicy() != Qt::NoFocus)
            control->installEventFilter(this);
    }

    // The results: the usual text actions, and the position taken elsewhere.
    for (QLineEdit *result : {Latitidue, Longitude, Elevation}) {
        result->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(result, &QLineEdit::customContextMenuRequested, this,
                [this, result](const QPoint &at) { showResultMenu(result, at); });
    }
    // The status line follows the logging once a second.
    m_statusTimer.setInterval(1000);
    connect(&m_statusTimer, &QTimer::timeout, this, &Form1::followState);
    // A sync that no fix completes is dropped rather than left to set the
    // clock hours later.
    m_syncTimer.setSingleShot(true);
    m_syncTimer.setInterval(SyncTimeout);
    connect(&m_syncTimer, &QTimer::timeout, this, [this] {
        const int minutes = std::max(1, int(std::lround(m_syncTimer.interval() / 60000.0)));
        dropSync(plural(minutes,
                        tr("No fix came within %n minute: the PC clock was not set.", nullptr, minutes),
                        tr("No fix came within %n minutes: the PC clock was not set.", nullptr, minutes)));
    });

    // Receiver link and clock
    connect(MSComm1, &link::SerialControl::OnComm, this, &Form1::MSComm1_OnComm);
    connect(MSComm1, &link::SerialControl::deviceLost, this, &Form1::onDeviceLost);
    connect(MSComm1, &link::SerialControl::deviceBack, this, &Form1::onDeviceBack);
    connect(MSComm1, &link::SerialControl::notice, this, [this](const QString &text) { holdStatus(text); });
    connect(MSComm1, &link::SerialControl::portChanged, this, &Form1::describePorts);
    // A right-click (or the menu key) on a COM button chooses its receiver.
    const QList<QRadioButton *> options = portOptions();
    for (int i = 0; i < options.size(); ++i) {
        options[i]->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(options[i], &QRadioButton::customContextMenuRequested, this,
                [this, i, option = options[i]](const QPoint &at) {
                    showPortMenu(i + 1, option->mapToGlobal(at));
                });
    }
    connect(m_clock.get(), &clock::SystemClock::timeSet, this, &Form1::onClockSet);
    connect(m_clock.get(), &clock::SystemClock::refused, this, &Form1::onClockRefused);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto &keyEvent = *static_cast<QKeyEvent *>(event);
        const int key = keyEvent.key();
        if (auto *widget = qobject_cast<QWidget *>(watched); widget && openMenuFromKeyboard(widget, keyEvent))
            return true;
        if (auto *option = qobject_cast<QRadioButton *>(watched); option && movePortFocus(option, key))
            return true;
        auto *button = qobject_cast<QAbstractButton *>(watched);
        if (button && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            if (button->isEnabled())
                button->click();
            return true;
        }
    }
    if (watched == UTCOffset && event->type() == QEvent::FocusOut) {
        // Focus leaving the window (another program, a menu) is not focus
        // moving to another control.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            UTCOffset_LostFocus();
    }
    return QWidget::eventFilter(watched, event);
}

bool Form1::openMenuFromKeyboard(QWidget *widget, const QKeyEvent &key)
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

bool Form1::movePortFocus(QRadioButton *option, int key)
{
    // Qt's arrows select each button they pass, and every selection
    // switches the port: while logging, the first that fails to open would
    // stop it.
    int step = 0;
    if (key == Qt::Key_Up || key == Qt::Key_Left)
        step = -1;
    else if (key == Qt::Key_Down || key == Qt::Key_Right)
        step = 1;
    const QList<QRadioButton *> options = portOptions();
    const qsizetype at = options.indexOf(option);
    if (step == 0 || at < 0)
        return false;
    options[(at + step + options.size()) % options.size()]->setFocus(step < 0 ? Qt::BacktabFocusReason
                                                                              : Qt::TabFocusReason);
    return true;
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    // Escape, which no control of the window takes, cancels a pending sync.
    if (event->key() == Qt::Key_Escape && SyncPending) {
        dropSync(tr("Clock sync cancelled: the PC clock was not set."));
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form1::Form_Load()
{
    resetForStartUp();

    // A stored port that is not a number, or not one of the COM buttons, can
    // only come from editing the settings by hand: COM 1 is used as if none
    // were stored, and the text stays in the file as it was written.
    const QList<QRadioButton *> options = portOptions();
    const QString portText
        = m_settings.readSetting(ApplicationName, MainSection, QStringLiteral("Port"), QStringLiteral("1"));
    const std::optional<std::int16_t> port
        = settings::textToInteger(portText.toStdString(), decimalSeparator());
    if (port && *port >= 1 && *port <= options.size() && MSComm1->setCommPort(*port)) {
        options[*port - 1]->setChecked(true); // runs its handler now
    } else {
        MSComm1->setCommPort(1);
        const QSignalBlocker unsaved(options.first());
        options.first()->setChecked(true);
    }

    // A stored whole number of hours is read as it always was, out of range
    // or not; "h:mm" as the box takes it. Before anything is stored, the
    // PC's own time zone is the best first guess.
    const QString storedOffset
        = m_settings.readSetting(ApplicationName, MainSection, QStringLiteral("UTCOffset"), QString());
    if (storedOffset.isEmpty()) {
        UtcOffsetMinutes = systemUtcOffsetMinutes();
        UTCOffset->setText(QString::fromStdString(settings::utcOffsetText(UtcOffsetMinutes)));
    } else {
        UTCOffset->setText(storedOffset);
        const std::string text = storedOffset.toStdString();
        std::optional<int> minutes = settings::parseUtcOffset(text, decimalSeparator());
        if (const std::optional<std::int16_t> hours = settings::textToInteger(text, decimalSeparator()))
            minutes = *hours * 60;
        if (!minutes)
            UTCOffset->setText(QStringLiteral("0"));
        UtcOffsetMinutes = minutes.value_or(0);
    }

    CalcPos->setFocus();
    describePorts();

    if (const QString problems = m_settings.problems(ApplicationName); !problems.isEmpty())
        notify(problems);
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
    const average::MeanPosition &mean = average->mean;
    if (!mean.isFinite()) {
        unsetCursor();
        showModalMessage(tr("The logged positions cannot be averaged: the receiver sent values "
                            "too large to add up.\n\nCheck the receiver, then restart GPS Quorvel "
                            "to clear the logged positions."));
        return;
    }
    const std::string separator = decimalSeparator();
    const auto show = [&separator](QLineEdit *box, double value) {
        box->setText(QString::fromStdString(average::numberText(value, separator)));
        box->setCursorPosition(0); // the degrees matter most: show the start
    };
    show(Latitidue, mean.latitude);
    show(Longitude, mean.longitude);
    show(Elevation, mean.elevation);
    // The exports of the mean write what is shown, not what is stored by then.
    m_shownMean = average;
    m_shownSpread = *average::spreadOf(*this, *average);
    describeMean(*average, m_shownSpread);
    unsetCursor();
}

QString Form1::fixCount(int count)
{
    return count == 1 ? tr("1 fix") : tr("%1 fixes").arg(count);
}

void Form1::describeMean(const average::Average &mean, const average::Spread &spread)
{
    const QLocale locale;
    const auto metres = [&locale](double value) { return locale.toString(value, 'f', value < 10 ? 2 : 1); };

    // The status line: count, time span, spread. The rest in its tooltip.
    QString first = fixCount(spread.count);
    if (spread.spanSeconds)
        first += tr(" over %1").arg(average::durationText(*spread.spanSeconds));
    // The uncertainty of the mean as a 95 % figure, or that the session is too short to tell.
    const auto uncertaintyOf = [&](const std::optional<double> &radius) {
        return radius ? tr("Uncertainty of the mean: \u00b1%1 m (95 %)").arg(metres(*radius))
                      : tr("Uncertainty of the mean: too short to tell how good the mean is");
    };
    const QString uncertainty = uncertaintyOf(spread.mean.horizontal95);
    average::Spread described = spread;
    described.meanHorizontal.reset(); // stated here at 95 %, not as one sigma
    holdStatus(first + QLatin1Char('\n')
                   + tr("CEP50 %1 m, CEP95 %2 m").arg(metres(spread.cep50), metres(spread.cep95)),
               average::spreadDescription(described) + QLatin1Char('\n')
                   + (spread.mean.horizontal95 && spread.mean.vertical95
                          ? tr("%1 horizontally, \u00b1%2 m (95 %) vertically")
                                .arg(uncertainty, metres(*spread.mean.vertical95))
                          : uncertainty));

    const double latitude = average::latitudeDegrees(mean), longitude = average::longitudeDegrees(mean);
    // Decimal degrees, both sexagesimal forms, the spread along the axis.
    const auto axisTip = [&](const QString &form, double degrees, QChar positive, QChar negative,
                             double deviation) {
        return form
            .arg(average::decimalDegrees(degrees), average::degreesMinutes(degrees, positive, negative),
                 average::degreesMinutesSeconds(degrees, positive, negative), metres(deviation), uncertainty)
            .trimmed();
    };
    Latitidue->setToolTip(axisTip(tr("%1\u00b0 (decimal degrees, north positive)\n%2\n%3\n"
                                     "Standard deviation north: %4 m\n%5"),
                                  latitude, u'N', u'S', spread.sdNorth));
    Longitude->setToolTip(axisTip(tr("%1\u00b0 (decimal degrees, east positive)\n%2\n%3\n"
                                     "Standard deviation east: %4 m\n%5"),
                                  longitude, u'E', u'W', spread.sdEast));
    QString elevation = tr("%1 m above mean sea level, as the receiver reports it")
                            .arg(locale.toString(mean.mean.elevation, 'f', 2));
    if (mean.geoidSeparation)
        elevation += QLatin1Char('\n')
            + tr("Ellipsoidal height (WGS 84): %1 m (geoid separation %2 m)")
                  .arg(locale.toString(mean.mean.elevation + *mean.geoidSeparation, 'f', 2),
                       locale.toString(*mean.geoidSeparation, 'f', 2));
    elevation += QLatin1Char('\n') + tr("Standard deviation up: %1 m").arg(metres(spread.sdUp));
    elevation += QLatin1Char('\n') + uncertaintyOf(spread.mean.vertical95);
    Elevation->setToolTip(elevation);
}

void Form1::setStatus(const QString &text, const QString &details)
{
    if (Label1->text() != text)
        Label1->setText(text);
    Label1->setToolTip(details);
}

void Form1::holdStatus(const QString &text, const QString &details)
{
    m_statusHeld.start();
    setStatus(text, details);
}

QString Form1::stateText(QString *details) const
{
    // Two short lines fit; the second is the sync's, or else what the first
    // leads to.
    const int n = SampleCount;
    QStringList lines, tips;
    if (m_waitingSince.isValid()) {
        lines << tr("No receiver on COM %1 since %2.")
                     .arg(MSComm1->CommPort())
                     .arg(m_waitingSince.toString(QStringLiteral("HH:mm:ss")));
        if (Logging && !SyncPending && !m_clockBusy)
            lines << tr("Logging goes on when it is back.");
        tips << MSComm1->errorString();
        if (Logging)
            tips << plural(n, tr("The %n fix logged is kept.", nullptr, n),
                           tr("The %n fixes logged are kept.", nullptr, n));
    } else if (Logging) {
        const QString time = average::durationText(int(m_loggedMs / 1000));
        lines << plural(n, tr("Logging: %n fix in %1.", nullptr, n),
                        tr("Logging: %n fixes in %1.", nullptr, n))
                     .arg(time);
    } else {
        lines << plural(n, tr("Logging off: %n fix stored.", nullptr, n),
                        tr("Logging off: %n fixes stored.", nullptr, n));
    }
    if (m_clockBusy) {
        lines << tr("Setting the PC clock to %1\u2026").arg(m_timeRequested);
    } else if (SyncPending) {
        lines << tr("Waiting for a fix to set the clock.");
        tips << tr("Press Sync PC Clock again, or Escape, to cancel.");
    }
    *details = tips.join(QLatin1Char('\n'));
    return lines.join(QLatin1Char('\n'));
}

void Form1::showState()
{
    accountLoggingTime();
    m_statusHeld.invalidate();
    QString details;
    const QString text = stateText(&details);
    setStatus(text, details);
    SyncClock->setToolTip(SyncPending
                              ? tr("Waiting for a fix to set the clock: press again, or Escape, to cancel.")
                              : QString());
    if (Logging || SyncPending)
        m_statusTimer.start();
    else
        m_statusTimer.stop();
}

void Form1::followState()
{
    accountLoggingTime();
    if (!Logging && !SyncPending) {
        m_statusTimer.stop();
        return;
    }
    if (Logging)
        refreshScatter();
    // A message of its own (a clock sync, a mean) stays a while before the
    // state returns.
    if (m_statusHeld.isValid() && !m_statusHeld.hasExpired(HeldStatusMs))
        return;
    QString details;
    const QString text = stateText(&details);
    setStatus(text, details);
}

void Form1::accountLoggingTime()
{
    if (m_logging.isValid())
        m_loggedMs += m_logging.restart();
    // While the receiver is gone no fix can come: that is no time logged.
    if (!Logging || m_waitingSince.isValid())
        m_logging.invalidate();
    else if (!m_logging.isValid())
        m_logging.start();
}

std::optional<average::Average> Form1::currentMean() const
{
    std::optional<average::Average> mean = average::averageSamples(*this);
    if (mean && !mean->mean.isFinite())
        return std::nullopt;
    return mean;
}

void Form1::refreshScatter()
{
    if (!m_scatter)
        return;
    const std::optional<average::Average> mean = currentMean();
    if (!mean) {
        m_scatter->setFixes({}, {});
        return;
    }
    m_scatter->setFixes(average::localPoints(*this, *mean), *average::spreadOf(*this, *mean));
}

void Form1::showResultMenu(QLineEdit *box, const QPoint &at)
{
    QMenu *menu = box->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->setToolTipsVisible(true);
    // The mean is the one the boxes show, whatever was logged since.
    const QString calcFirst = tr("Press Calc Position first.");
    QAction *copy = menu->addAction(tr("Copy p&osition"), this, [this] {
        if (m_shownMean)
            QGuiApplication::clipboard()->setText(average::positionForMaps(*m_shownMean));
    });
    copy->setEnabled(m_shownMean.has_value());
    copy->setToolTip(m_shownMean ? QString() : calcFirst);
    // Asks where, then saves with `save`.
    const auto saveAction = [this, menu](const QString &text, const QString &name, const QString &filter,
                                         bool (Form1::*save)(const QString &)) {
        const QString title = QString(text).remove(QLatin1Char('&'));
        return menu->addAction(text + QStringLiteral("\u2026"), this, [this, title, name, filter, save] {
            const QString path = QFileDialog::getSaveFileName(this, title, name, filter);
            if (!path.isEmpty())
                (this->*save)(path);
        });
    };
    saveAction(tr("Save &fixes as CSV"), QStringLiteral("fixes.csv"), tr("CSV files (*.csv)"),
               &Form1::saveFixesCsv)
        ->setEnabled(SampleCount > 0);
    QAction *gpx = saveAction(tr("Save &mean as GPX"), QStringLiteral("mean.gpx"), tr("GPX files (*.gpx)"),
                              &Form1::saveMeanGpx);
    gpx->setEnabled(m_shownMean.has_value());
    gpx->setToolTip(m_shownMean ? QString() : calcFirst);
    menu->addAction(tr("Show &scatter\u2026"), this, &Form1::showScatter);
    menu->popup(box->mapToGlobal(at));
}

void Form1::showScatter()
{
    if (!m_scatter)
        m_scatter = new ScatterWindow(this);
    refreshScatter();
    m_scatter->show();
    m_scatter->raise();
    m_scatter->activateWindow();
}

bool Form1::saveFixesCsv(const QString &path)
{
    return saveFile(path, average::fixesAsCsv(*this));
}

bool Form1::saveMeanGpx(const QString &path)
{
    if (!m_shownMean)
        return false;
    return saveFile(
        path, average::meanAsGpx(*m_shownMean, m_shownSpread, QStringLiteral("GPS Quorvel %1").arg(Version)));
}

bool Form1::saveFile(const QString &path, const QByteArray &content)
{
    // Written beside the old file and renamed over it: a failure leaves the old one whole.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit())
        return true;
    notify(tr("%1 could not be saved: %2.").arg(path, file.errorString()));
    return false;
}

void Form1::StartStop_Click()
{
    Logging = !Logging;
    StartStop->setText(Logging ? tr("Stop Log") : tr("Start Log"));
    if (SyncPending || Logging)
        openPort();
    else
        closePort();
    showState();
}

void Form1::SyncClock_Click()
{
    // The button is disabled while the system answers; a pending sync is
    // cancelled by a second press.
    if (m_clockBusy)
        return;
    if (SyncPending) {
        dropSync(tr("Clock sync cancelled: the PC clock was not set."));
        return;
    }
    SyncPending = true;
    m_syncTimer.start();
    openPort();
    showState();
}

void Form1::setSyncTimeout(std::chrono::milliseconds timeout)
{
    m_syncTimer.setInterval(timeout);
}

void Form1::dropSync(const QString &why)
{
    if (!SyncPending)
        return;
    SyncPending = false;
    m_syncTimer.stop();
    if (!Logging)
        closePort();
    showState();
    holdStatus(why);
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
    saveSetting(QStringLiteral("Port"),
                QString::fromStdString(settings::integerText(port))); // after the switch
}

void Form1::SetCommPort(int port)
{
    const bool inUse = SyncPending || Logging;
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
    if (MSComm1->setPortOpen(true))
        return;
    // The port is closed, so neither logging nor a sync can go on.
    endPortUse();
    notify(MSComm1->errorString());
}

void Form1::endPortUse()
{
    Logging = false;
    StartStop->setText(tr("Start Log"));
    SyncPending = false;
    m_syncTimer.stop();
    m_waitingSince = QDateTime();
    showState();
}

void Form1::closePort()
{
    MSComm1->setPortOpen(false);
    m_waitingSince = QDateTime();
}

void Form1::onDeviceLost()
{
    // The serial control waits for the receiver and opens it again by
    // itself: logging and a pending sync go on when it is back.
    m_waitingSince = QDateTime::currentDateTime();
    showState();
}

void Form1::onDeviceBack()
{
    m_waitingSince = QDateTime();
    showState();
    holdStatus(tr("Receiver on COM %1 is back.").arg(MSComm1->CommPort()));
}

QList<QRadioButton *> Form1::portOptions() const
{
    return {Option1, Option2, Option3, Option4};
}

void Form1::describePorts()
{
    const QList<QRadioButton *> options = portOptions();
    for (int i = 0; i < options.size(); ++i)
        options[i]->setToolTip(MSComm1->portDescription(i + 1) + QLatin1Char('\n')
                               + tr("Right-click to choose the receiver."));
}

void Form1::showPortMenu(int port, const QPoint &at)
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QList<link::SerialControl::Device> devices = MSComm1->availableDevices();
    for (const link::SerialControl::Device &device : devices) {
        QString text
            = device.description.isEmpty() ? device.path : tr("%1 (%2)").arg(device.path, device.description);
        // A name is shown as it is, not read for a mnemonic.
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        menu->addAction(text, this, [this, port, path = device.path] { setPortSource(port, path); });
    }
    if (devices.isEmpty())
        menu->addAction(tr("No serial devices found"))->setEnabled(false);
    menu->addSeparator();
    menu->addAction(tr("&Network or gpsd source\u2026"), this, [this, port] { askPortSource(port); });
    menu->addAction(tr("&Default device"), this, [this, port] { setPortSource(port, QString()); });
    menu->popup(at);
}

void Form1::askPortSource(int port)
{
    QString text = m_settings.readSetting(ApplicationName, QStringLiteral("Ports"),
                                          QStringLiteral("COM%1").arg(port), {});
    const QString forms = tr("Where COM %1 reads NMEA from:\n"
                             "  tcp://HOST:PORT  \u2013 a phone app or multiplexer (often port 10110)\n"
                             "  udp://:PORT  \u2013 datagrams sent to this machine\n"
                             "  gpsd://HOST[:PORT][/DEVICE]  \u2013 gpsd, for example gpsd://localhost\n"
                             "  /dev/DEVICE[@RATE]  \u2013 a serial device")
                              .arg(port);
    QString refusal;
    for (;;) {
        bool ok = false;
        text = QInputDialog::getText(this, tr("Receiver for COM %1").arg(port), refusal + forms,
                                     QLineEdit::Normal, text, &ok);
        if (!ok)
            return;
        // What is pasted with a device's name (more lines of a settings
        // file, say) is not part of it: the text comes back to be mended.
        if (settings::fitsOneLine(text.trimmed()))
            break;
        refusal = tr("A receiver is named on one line, without line breaks, tabs or other control "
                     "characters.\n\n");
    }
    const auto parsed = link::parseSourceSpec(text);
    if (const QString *problem = std::get_if<QString>(&parsed)) {
        notify(*problem);
        return;
    }
    setPortSource(port, text.trimmed());
}

void Form1::setPortSource(int port, const QString &source)
{
    writeSetting(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(port), source);
    // A change to the port in use takes effect at once.
    if (port == MSComm1->CommPort() && MSComm1->PortOpen())
        SetCommPort(port);
    describePorts();
}

void Form1::UTCOffset_LostFocus()
{
    UtcOffsetMinutes = settings::parseUtcOffset(UTCOffset->text().toStdString(), decimalSeparator())
                           .value_or(UtcOffsetMinutes);
    saveSetting(QStringLiteral("UTCOffset"),
                QString::fromStdString(settings::utcOffsetText(UtcOffsetMinutes)));
}

int Form1::systemUtcOffsetMinutes()
{
    constexpr int Quarter = 15;
    const int minutes = QDateTime::currentDateTime().offsetFromUtc() / 60;
    const int quarters = (minutes + (minutes < 0 ? -Quarter / 2 : Quarter / 2)) / Quarter;
    return std::clamp(quarters * Quarter, settings::MinUtcOffsetMinutes, settings::MaxUtcOffsetMinutes);
}

void Form1::onClockSet(qint64 movedMs)
{
    m_clockBusy = false;
    SyncClock->setEnabled(true);
    QString status
        = tr("Clock set to %1 (%2), moved %3%4 s.")
              .arg(m_timeRequested, QString::fromStdString(settings::utcOffsetLabel(m_offsetRequested)),
                   movedMs < 0 ? QStringLiteral("-") : QStringLiteral("+"))
              .arg(QLocale().toString(double(std::abs(movedMs)) / 1000, 'f', 1));
    // A box that disagrees with the PC's own zone has put the PC's UTC clock
    // off by the difference.
    if (const int system = systemUtcOffsetMinutes(); system != m_offsetRequested)
        status += QLatin1Char('\n')
            + tr("The PC's time zone is %1.").arg(QString::fromStdString(settings::utcOffsetLabel(system)));
    holdStatus(status);
}

void Form1::onClockRefused(const QString &message)
{
    m_clockBusy = false;
    SyncClock->setEnabled(true);
    holdStatus(tr("The PC clock was not set."));
    notify(message);
}

void Form1::MSComm1_OnComm()
{
    if (MSComm1->InBufferCount() <= 0)
        return;
    const QByteArray batch = MSComm1->Input();

    // The monitor box is the line buffer: it holds exactly the line while
    // ProcessSentence reads it, and the partial line once the batch is done.
    // It is written per line rather than per character, which the eye cannot
    // tell apart, since it is painted once per batch anyway.
    QString line = monitor->text();
    // A whole line left in the box to be seen is not the start of the next.
    if (line == m_finishedLine)
        line.clear();
    m_finishedLine.clear();
    const bool wholeLines = MSComm1->deliversWholeLines();
    QString last; // the batch's last whole line, where lines arrive whole
    nmea::assembleLines(line, batch, [this, wholeLines, &last](const QString &complete) {
        if (wholeLines && !complete.isEmpty())
            last = complete;
        // Only a GGA sentence can change anything, so only such a line is
        // put in the box for ProcessSentence: laying out text is most of
        // what receiving costs, and the box is painted once per batch.
        if (!nmea::namesGga(QStringView(complete)))
            return;
        showInMonitor(complete);
        ProcessSentence();
    });
    // A network source hands over whole lines, so every batch would end with
    // the box empty, and no sentence would ever be seen: the last one stays
    // until the next one's characters arrive. A serial line's sentence is
    // seen as it grows.
    if (line.isEmpty() && !last.isEmpty()) {
        showInMonitor(last);
        m_finishedLine = last;
    } else {
        showInMonitor(line);
    }

    // The status line is due before the next batch: bring it forward into
    // this repaint rather than waking up again for it.
    if (m_statusTimer.isActive() && m_statusTimer.remainingTime() < StatusSlackMs) {
        m_statusTimer.start();
        followState();
    }
}

void Form1::showInMonitor(const QString &text)
{
    // Text that did not change is not laid out again: a stream of empty
    // lines (NUL noise) then costs nothing but the assembly.
    if (monitor->text() != text)
        monitor->setText(text);
}

void Form1::ProcessSentence()
{
    const QString text = monitor->text();
    if (text.size() < 7)
        return;
    const QByteArray latin1 = text.toLatin1();
    const std::optional<nmea::GgaFix> fix = nmea::decodeGga({latin1.constData(), size_t(latin1.size())});
    if (!fix)
        return;

    if (Logging)
        storeFix(*fix);

    // A line whose time field is no valid time still counts as a sample, but
    // cannot complete the sync.
    if (SyncPending && fix->utc) {
        // The button is disabled until the system has answered.
        m_clockBusy = true;
        SyncClock->setEnabled(false);
        m_timeRequested = QString::fromStdString(clock::localTimeString(*fix->utc, UtcOffsetMinutes));
        m_offsetRequested = UtcOffsetMinutes;
        SyncPending = false;
        m_syncTimer.stop();
        if (!Logging)
            closePort();
        showState();
        m_clock->setTimeOfDay(m_timeRequested);
    }
}

void Form1::saveSetting(const QString &key, const QString &value)
{
    writeSetting(MainSection, key, value);
}

void Form1::writeSetting(const QString &section, const QString &key, const QString &value)
{
    if (m_settings.writeSetting(ApplicationName, section, key, value))
        return;
    if (m_settingsFailureReported)
        return;
    m_settingsFailureReported = true;
    notify(tr("The settings could not be saved to %1: %2.\n\nGPS Quorvel goes on with the values in effect, "
              "but will not remember them.")
               .arg(m_settings.location(ApplicationName), m_settings.errorString()));
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
