// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window's layout: where each control stands, in twips as it was
// drawn, and the fonts that keep the captions inside their boxes; how it
// paints.

#include "form1.h"

#include "app/appinfo.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOption>

namespace quorvel {

namespace {

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

} // namespace

void Form1::prepareApplication()
{
    // A window that repaints one line of text 20 times a second gains
    // nothing from X11 shared memory, which costs a second wakeup per
    // repaint (Qt waits for the server's completion event).
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
}

QList<QRadioButton *> Form1::portOptions() const
{
    return {Option1, Option2, Option3, Option4};
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
    Label1->setWordWrap(true); // the status line: two short lines at most (StatusLine)
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

} // namespace quorvel
