// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/form1.h"
#include "app/messageswindow.h"
#include "app/pointsoftheday.h"
#include "app/pointswindow.h"
#include "app/scatterwindow.h"
#include "clock/clockadjustment.h"
#include "clock/clocksync.h"
#include "support/fakes.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QClipboard>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QTimer>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

using namespace quorvel;
using namespace quorvel::test;

namespace {

const QByteArray Fix = "$GPGGA,143005.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n";
const QByteArray FixNearby = "$GPGGA,143006.00,4807.538,N,01131.500,E,1,08,0.9,600.0,M,46.9,M,,\r\n";
const QByteArray NoFix = "$GPGGA,143005.00,4807.038,N,01131.000,E,0,08,0.9,545.4,M,46.9,M,,\r\n";

// A window with fake platform pieces, loaded from `stored` settings, its
// points of the day in a folder of its own.
struct Harness
{
    explicit Harness(const QHash<QString, QString> &stored = {})
    {
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        settings.values = stored;
        auto ownedSerial = std::make_unique<FakeSerialControl>();
        auto ownedClock = std::make_unique<FakeClock>();
        serial = ownedSerial.get();
        clock = ownedClock.get();
        form = std::make_unique<Form1>(std::move(ownedSerial), settings, std::move(ownedClock));
        form->Form_Load();
    }
    // Closes the modal box the next handler opens, and returns its text and look.
    QString answerModal(std::function<void()> handler)
    {
        QString seen;
        QTimer::singleShot(0, [&seen] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen = QStringLiteral("%1|%2|%3|%4")
                       .arg(box->windowTitle(), box->text())
                       .arg(int(box->icon()))
                       .arg(int(box->standardButtons()));
            box->accept();
        });
        handler();
        return seen;
    }
    QStringList notices() const { return visibleNotices(*form); }

    QTemporaryDir data;
    MemorySettingsStore settings;
    FakeSerialControl *serial = nullptr; // owned by the window
    FakeClock *clock = nullptr;
    std::unique_ptr<Form1> form;
};

// Answers the modal dialogs that come up, in turn: an input dialog with the
// value given ("" cancels), a message box with the button of that text, or
// "Return" pressed in it. What each dialog asked is kept.
struct Answers : QObject
{
    explicit Answers(const QStringList &inTurn)
        : replies(inTurn)
    {
        connect(&timer, &QTimer::timeout, this, &Answers::answer);
        timer.start(10);
    }
    void answer()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal->property("answered").toBool() || replies.isEmpty())
            return;
        modal->setProperty("answered", true);
        const QString reply = replies.takeFirst();
        if (auto *input = qobject_cast<QInputDialog *>(modal)) {
            asked << input->labelText();
            if (reply.isEmpty())
                return input->reject();
            if (input->inputMode() == QInputDialog::IntInput)
                input->setIntValue(reply.toInt());
            else if (input->inputMode() == QInputDialog::DoubleInput)
                input->setDoubleValue(reply.toDouble());
            else
                input->setTextValue(reply);
            input->accept();
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            asked << box->text();
            if (reply == "Return")
                return QTest::keyClick(box, Qt::Key_Return);
            for (QAbstractButton *button : box->buttons()) {
                if (button->text().remove('&') == reply)
                    return button->click();
            }
        }
    }
    QStringList replies, asked;
    QTimer timer;
};

// The item of `widget`'s context menu whose text, without its mnemonic, is
// `text`; the menu is closed.
QAction *menuItem(QWidget *widget, const QString &text)
{
    for (QMenu *old : widget->findChildren<QMenu *>(Qt::FindDirectChildrenOnly))
        delete old;
    Q_EMIT widget->customContextMenuRequested(QPoint(5, 5));
    auto *menu = widget->findChild<QMenu *>();
    QList<QAction *> actions = menu ? menu->actions() : QList<QAction *>();
    for (int i = 0; i < actions.size(); ++i) {
        if (actions[i]->menu())
            actions << actions[i]->menu()->actions();
        if (QString(actions[i]->text()).remove('&') == text) {
            menu->hide();
            return actions[i];
        }
    }
    return nullptr;
}

// Why the status line does not show its message whole, if it does not: its
// accessible name is the message's text, never cut short. With the face the
// layout was made for, it is at the window's own size too.
QString statusNotWhole(const QLabel &label, const QFont &windowFont)
{
    if (label.text() != label.accessibleName())
        return "cut short: " + label.text();
    if (QFontInfo(label.font()).family() == "Liberation Sans"
        && label.font().pointSizeF() != windowFont.pointSizeF())
        return "made smaller: " + label.text();
    return {};
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<qreal>("pointSize"); // 0: the window's font

        QTest::newRow("CalcPos") << "CalcPos"
                                 << "Calc Position" << QRect(1800, 3240, 1215, 495) << 0.0;
        QTest::newRow("Exit") << "Exit"
                              << "Exit" << QRect(3360, 4080, 1215, 495) << 0.0;
        QTest::newRow("Frame1") << "Frame1"
                                << "Port" << QRect(4320, 120, 1335, 2415) << 0.0;
        QTest::newRow("StartStop") << "StartStop"
                                   << "Start Log" << QRect(120, 3240, 1215, 495) << 0.0;
        QTest::newRow("Option1") << "Option1"
                                 << "COM 1" << QRect(4440, 360, 1095, 495) << 0.0;
        QTest::newRow("Option4") << "Option4"
                                 << "COM 4" << QRect(4440, 1800, 975, 495) << 0.0;
        QTest::newRow("monitor") << "monitor"
                                 << "" << QRect(480, 2640, 5055, 375) << 0.0;
        QTest::newRow("Label2") << "Label2"
                                << "Currnet GPS Data" << QRect(480, 2400, 1575, 495) << 0.0;
        QTest::newRow("Latitidue") << "Latitidue"
                                   << "" << QRect(1920, 360, 2055, 495) << 12.0;
        QTest::newRow("Elevation") << "Elevation"
                                   << "" << QRect(1920, 1800, 2055, 495) << 12.0;
        QTest::newRow("Label4") << "Label4"
                                << "Longitude" << QRect(600, 1200, 1215, 495) << 13.5;
        QTest::newRow("SyncClock") << "SyncClock"
                                   << "Sync PC Clock" << QRect(3360, 3240, 1215, 495) << 0.0;
        QTest::newRow("UTCOffset") << "UTCOffset"
                                   << "0" << QRect(4800, 3450, 855, 285) << 0.0;
        QTest::newRow("Label6") << "Label6"
                                << "UTC Offset" << QRect(4800, 3240, 855, 255) << 0.0;
    }

    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, twips);
        QFETCH(qreal, pointSize);
        Harness h;
        const QHash<QString, QWidget *> byName{
            {"CalcPos", h.form->CalcPos},     {"Exit", h.form->Exit},       {"Frame1", h.form->Frame1},
            {"StartStop", h.form->StartStop}, {"Option1", h.form->Option1}, {"Option4", h.form->Option4},
            {"monitor", h.form->monitor},     {"Label2", h.form->Label2},   {"Latitidue", h.form->Latitidue},
            {"Elevation", h.form->Elevation}, {"Label4", h.form->Label4},   {"SyncClock", h.form->SyncClock},
            {"UTCOffset", h.form->UTCOffset}, {"Label6", h.form->Label6}};
        QWidget *w = byName.value(name);
        QVERIFY(w);
        QString text = w->property("text").toString();
        if (auto *frame = qobject_cast<QGroupBox *>(w))
            text = frame->title();
        QCOMPARE(text, caption);
        QCOMPARE(w->geometry(),
                 QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
        QCOMPARE(w->font().family(), QStringLiteral("MS Sans Serif"));
        if (pointSize > 0)
            QCOMPARE(w->font().pointSizeF(), pointSize);
        h.form->resize(800, 600); // controls never move or resize
        QCOMPARE(w->geometry().topLeft(), QPoint(twips.x() / 15, twips.y() / 15));
    }

    // Every caption fits its fixed box with the face the system has: the one
    // preferred, or the platform's common sans-serif where that is missing
    // (this test runs a second time with DejaVu Sans as the only face).
    void captionsFit()
    {
        Harness h;
        if (const QByteArray only = qgetenv("QUORVEL_ONLY_FACE"); !only.isEmpty())
            QCOMPARE(QFontInfo(h.form->Label4->font()).family(), QString::fromLatin1(only));
        for (QLabel *l : {h.form->Label2, h.form->Label3, h.form->Label4, h.form->Label5, h.form->Label6})
            QVERIFY2(QFontMetrics(l->font()).horizontalAdvance(l->text()) <= l->width(),
                     qPrintable(l->text()));
        for (QPushButton *b : {h.form->CalcPos, h.form->Exit, h.form->StartStop, h.form->SyncClock})
            QVERIFY2(QFontMetrics(b->font()).horizontalAdvance(b->text()) <= b->width() - 8,
                     qPrintable(b->text()));
    }

    // A screen reader names each box by the caption beside it.
    void accessibleNames()
    {
        Harness h;
        const QList<std::pair<QLineEdit *, QLabel *>> pairs{{h.form->monitor, h.form->Label2},
                                                            {h.form->Latitidue, h.form->Label3},
                                                            {h.form->Longitude, h.form->Label4},
                                                            {h.form->Elevation, h.form->Label5},
                                                            {h.form->UTCOffset, h.form->Label6}};
        for (const auto &[box, caption] : pairs) {
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(box);
            QVERIFY(accessible);
            QCOMPARE(accessible->text(QAccessible::Name), caption->text());
            QCOMPARE(caption->buddy(), box);
        }
        // The status line is read as what it says, and Qt tells of each change.
        h.form->StartStop_Click();
        QCOMPARE(QAccessible::queryAccessibleInterface(h.form->Label1)->text(QAccessible::Name),
                 h.form->Label1->text());
    }

    void window()
    {
        Harness h;
        QCOMPARE(h.form->windowTitle(), QStringLiteral("GPS Quorvel"));
        QCOMPARE(h.form->size(), QSize(385, 322));
        QVERIFY(!h.form->windowIcon().isNull());
        for (QPushButton *b : h.form->findChildren<QPushButton *>())
            QVERIFY(!b->isDefault() && !b->autoDefault());
        h.form->show();
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        QCOMPARE(QApplication::focusWidget(), h.form->CalcPos);

        // Tab visits each stop once; labels and the frame are never one, the
        // option buttons only once.
        const QList<QWidget *> stops{
            h.form->Exit,      h.form->StartStop, h.form->Option1,   h.form->monitor,   h.form->Latitidue,
            h.form->Longitude, h.form->Elevation, h.form->SyncClock, h.form->UTCOffset, h.form->CalcPos};
        for (QWidget *expected : stops) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), expected);
        }
    }

    // Return and Enter click the focused button; in a text box, and as
    // Escape anywhere, they click nothing. The arrows move through the COM
    // buttons without choosing one; Shift+F10 opens a context menu, whose
    // own items each have a mnemonic of their own.
    void keyboardActivation_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<bool>("logging");
        QTest::addColumn<int>("port"); // the COM button chosen
        QTest::addColumn<bool>("menu");

        QTest::newRow("Return on Start Log")
            << "StartStop" << QKeySequence(Qt::Key_Return) << true << 1 << false;
        QTest::newRow("keypad Enter on Start Log")
            << "StartStop" << QKeySequence(Qt::Key_Enter) << true << 1 << false;
        QTest::newRow("Space on Start Log")
            << "StartStop" << QKeySequence(Qt::Key_Space) << true << 1 << false;
        QTest::newRow("Escape on Start Log")
            << "StartStop" << QKeySequence(Qt::Key_Escape) << false << 1 << false;
        QTest::newRow("Return in the UTC offset box")
            << "UTCOffset" << QKeySequence(Qt::Key_Return) << false << 1 << false;
        QTest::newRow("Down moves the focus only")
            << "Option1" << QKeySequence(Qt::Key_Down) << false << 1 << false;
        QTest::newRow("Up, Up, Return chooses COM 3")
            << "Option1" << QKeySequence(Qt::Key_Up, Qt::Key_Up, Qt::Key_Return) << false << 3 << false;
        QTest::newRow("Right, Space chooses COM 2")
            << "Option1" << QKeySequence(Qt::Key_Right, Qt::Key_Space) << false << 2 << false;
        QTest::newRow("Shift+F10 on COM 2")
            << "Option2" << QKeySequence(Qt::SHIFT | Qt::Key_F10) << false << 1 << true;
        QTest::newRow("Shift+F10 on the latitude")
            << "Latitidue" << QKeySequence(Qt::SHIFT | Qt::Key_F10) << false << 1 << true;
        QTest::newRow("Shift+F10 on Sync PC Clock")
            << "SyncClock" << QKeySequence(Qt::SHIFT | Qt::Key_F10) << false << 1 << true;
    }

    void keyboardActivation()
    {
        QFETCH(QString, focus);
        QFETCH(QKeySequence, keys);
        QFETCH(bool, logging);
        QFETCH(int, port);
        QFETCH(bool, menu);
        Harness h;
        h.form->show();
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        const QHash<QString, QWidget *> byName{
            {"StartStop", h.form->StartStop}, {"UTCOffset", h.form->UTCOffset},
            {"Option1", h.form->Option1},     {"Option2", h.form->Option2},
            {"Latitidue", h.form->Latitidue}, {"SyncClock", h.form->SyncClock}};
        byName.value(focus)->setFocus();
        for (int i = 0; i < keys.count(); ++i)
            QTest::keyClick(QApplication::focusWidget(), keys[i].key(), keys[i].keyboardModifiers());
        QCOMPARE(h.form->Logging, logging);
        QCOMPARE(h.serial->CommPort(), port);
        auto *shown = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QCOMPARE(shown != nullptr, menu);
        if (!shown)
            return;
        QStringList mnemonics;
        const QList<QAction *> actions = shown->actions();
        qsizetype ours = actions.size(); // the window's own items follow the last separator
        while (ours > 0 && !actions[ours - 1]->isSeparator())
            --ours;
        for (qsizetype i = 0; i < actions.size(); ++i) {
            const QString text = QString(actions[i]->text()).remove("&&");
            const qsizetype at = text.indexOf('&');
            QVERIFY2(at >= 0 || i < ours, qPrintable(text));
            if (at >= 0)
                mnemonics << text.mid(at + 1, 1).toLower();
        }
        QCOMPARE(QSet<QString>(mnemonics.begin(), mnemonics.end()).size(), mnemonics.size());
        shown->close();
    }

    void startUp_data()
    {
        QTest::addColumn<QString>("port"); // stored text, or "-" for none
        QTest::addColumn<QString>("offset"); // stored text, or "-" for none
        QTest::addColumn<int>("commPort");
        QTest::addColumn<int>("selected"); // option button, 0 for none
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QStringList>("writes");
        QTest::addColumn<QString>("told"); // part of the message shown, if any

        QTest::newRow("first start") << "-"
                                     << "-" << 1 << 1 << "0" << 0 << QStringList{"Port=1"} << ""; // TZ=UTC
        QTest::newRow("COM 3, five hours behind")
            << "3"
            << "-5" << 3 << 3 << "-5" << -300 << QStringList{"Port=3"} << "";
        QTest::newRow("port beyond the buttons is left in the file")
            << "7"
            << "0" << 1 << 1 << "0" << 0 << QStringList{} << "";
        QTest::newRow("offset beyond any zone's: the PC's zone is used, and told")
            << "1"
            << "100" << 1 << 1 << "0" << 0 << QStringList{"Port=1"}
            << "\"100\", is not one GPS Quorvel can use";
        QTest::newRow("unreadable values fall back")
            << "COM2"
            << "east" << 1 << 1 << "0" << 0 << QStringList{} << "\"east\", is not one";
        QTest::newRow("India") << "1"
                               << "5:30" << 1 << 1 << "5:30" << 330 << QStringList{"Port=1"} << "";
        QTest::newRow("port the control refuses") << "300"
                                                  << "2" << 1 << 1 << "2" << 120 << QStringList{} << "";
    }

    void startUp()
    {
        QFETCH(QString, port);
        QFETCH(QString, offset);
        QFETCH(int, commPort);
        QFETCH(int, selected);
        QFETCH(QString, box);
        QFETCH(int, minutes);
        QFETCH(QStringList, writes);
        QFETCH(QString, told);
        QHash<QString, QString> stored;
        if (port != "-")
            stored["Quorvel/Main/Port"] = port;
        if (offset != "-")
            stored["Quorvel/Main/UTCOffset"] = offset;
        Harness h(stored);
        QCOMPARE(h.serial->CommPort(), commPort);
        const QList<QRadioButton *> options{h.form->Option1, h.form->Option2, h.form->Option3,
                                            h.form->Option4};
        for (int i = 0; i < options.size(); ++i)
            QCOMPARE(options[i]->isChecked(), i + 1 == selected);
        QCOMPARE(h.form->UTCOffset->text(), box);
        QCOMPARE(h.form->UtcOffsetMinutes, minutes);
        QCOMPARE(h.settings.writes, writes);
        QVERIFY(!h.serial->PortOpen() && !h.form->Logging && !h.form->SyncPending);
        QCOMPARE(h.form->SampleCount, 0);
        if (told.isEmpty())
            QCOMPARE(h.notices(), QStringList{});
        else
            QVERIFY2(h.notices().size() == 1 && h.notices().first().contains(told),
                     qPrintable(h.notices().join("|")));
        QCOMPARE(h.settings.values.value("Quorvel/Main/UTCOffset", "-"), offset); // kept as it was
    }

    // Leaving the box takes in the offset typed, and stores it; an offset
    // nobody typed follows the PC's zone and is not stored.
    void offsetOnFocusLoss_data()
    {
        QTest::addColumn<QString>("stored"); // "-": none
        QTest::addColumn<QString>("typed"); // "-": the box left as it was
        QTest::addColumn<QString>("saved"); // in effect and saved ("-": nothing saved)
        QTest::addColumn<QString>("box"); // what the box shows then

        QTest::newRow("upper bound") << "2"
                                     << "14"
                                     << "14"
                                     << "14";
        QTest::newRow("lower bound") << "2"
                                     << "-12"
                                     << "-12"
                                     << "-12";
        QTest::newRow("out of range keeps 2") << "2"
                                              << "15"
                                              << "2"
                                              << "15";
        QTest::newRow("plus sign") << "2"
                                   << "+5"
                                   << "5"
                                   << "+5";
        QTest::newRow("leading zero") << "2"
                                      << "05"
                                      << "5"
                                      << "05";
        QTest::newRow("blanks") << "2"
                                << " 5 "
                                << "5"
                                << " 5 ";
        QTest::newRow("half rounds to even") << "2"
                                             << "12.5"
                                             << "12"
                                             << "12.5";
        QTest::newRow("rounds to 15, refused") << "2"
                                               << "14.6"
                                               << "2"
                                               << "14.6";
        QTest::newRow("hours and minutes") << "2"
                                           << "5:30"
                                           << "5:30"
                                           << "5:30";
        QTest::newRow("not a quarter hour keeps 2") << "2"
                                                    << "5:20"
                                                    << "2"
                                                    << "5:20";
        QTest::newRow("not a number keeps 2") << "2"
                                              << "five"
                                              << "2"
                                              << "five";
        QTest::newRow("unchanged is saved again") << "2"
                                                  << "2"
                                                  << "2"
                                                  << "2";
        QTest::newRow("left as it was, 2 stored: saved again") << "2"
                                                               << "-"
                                                               << "2"
                                                               << "2";
        QTest::newRow("nothing stored, left as it was: follows the zone, not saved") << "-"
                                                                                     << "-"
                                                                                     << "-"
                                                                                     << "0";
        QTest::newRow("nothing stored, the zone's own typed: saved") << "-"
                                                                     << "0"
                                                                     << "0"
                                                                     << "0";
        QTest::newRow("nothing stored, not a number: follows the zone, not saved") << "-"
                                                                                   << "five"
                                                                                   << "-"
                                                                                   << "five";
        QTest::newRow("emptied: follows the zone again") << "2"
                                                         << ""
                                                         << ""
                                                         << "0";
    }

    void offsetOnFocusLoss()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        QFETCH(QString, box);
        Harness h(stored == "-" ? QHash<QString, QString>{}
                                : QHash<QString, QString>{{"Quorvel/Main/UTCOffset", stored}});
        h.form->show();
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        h.form->UTCOffset->setFocus();
        if (typed != "-") {
            h.form->UTCOffset->selectAll();
            if (typed.isEmpty())
                QTest::keyClick(h.form->UTCOffset, Qt::Key_Delete);
            else
                QTest::keyClicks(h.form->UTCOffset, typed);
        }
        h.settings.writes.clear();
        QTest::keyClick(h.form->UTCOffset, Qt::Key_Tab);
        QCOMPARE(h.settings.writes, saved == "-" ? QStringList{} : QStringList{"UTCOffset=" + saved});
        QCOMPARE(h.form->UTCOffset->text(), box); // the box keeps what was typed
    }

    // Before an offset is stored, the box starts with the PC's own.
    void firstStartOffset_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::newRow("India") << QByteArray("Asia/Kolkata");
        QTest::newRow("Newfoundland") << QByteArray("America/St_Johns");
        QTest::newRow("Kiribati") << QByteArray("Pacific/Kiritimati");
        QTest::newRow("UTC") << QByteArray("UTC");
    }

    void firstStartOffset()
    {
        QFETCH(QByteArray, zone);
        const QByteArray saved = qgetenv("TZ");
        qputenv("TZ", zone);
        Harness h;
        qputenv("TZ", saved);
        const int expected = QTimeZone(zone).offsetFromUtc(QDateTime::currentDateTimeUtc()) / 60;
        QCOMPARE(h.form->UtcOffsetMinutes, expected);
        QCOMPARE(h.form->UTCOffset->text(),
                 QStringLiteral("%1%2:%3")
                     .arg(expected < 0 ? "-" : "")
                     .arg(qAbs(expected) / 60)
                     .arg(qAbs(expected) % 60, 2, 10, QLatin1Char('0'))
                     .remove(QRegularExpression(":00$")));
        QVERIFY(!h.settings.writes.contains(QRegularExpression("^UTCOffset"))); // stored when the box is left
    }

    void exitStoresOffsetFirst()
    {
        Harness h;
        h.form->show();
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        h.form->UTCOffset->setFocus();
        h.form->UTCOffset->setText("-3");
        QTimer::singleShot(0, [&h] { QTest::mouseClick(h.form->Exit, Qt::LeftButton); });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(h.settings.values.value("Quorvel/Main/UTCOffset"), QStringLiteral("-3"));
    }

    // Lines reach the decoder whole, however the receiver's bytes are batched.
    void receiveAndLog()
    {
        Harness h;
        h.form->monitor->setText("$GP"); // typed by the user: part of the line
        h.form->StartStop_Click();
        QVERIFY(h.serial->PortOpen());
        QCOMPARE(h.form->StartStop->text(), QStringLiteral("Stop Log"));
        h.serial->receive(Fix.mid(3, 20));
        QCOMPARE(h.form->monitor->text(), QString::fromLatin1(Fix.left(23)));
        h.serial->receive(Fix.mid(23) + NoFix + Fix + "\x80$GPGGA,1");
        QCOMPARE(h.form->SampleCount, 2);
        QCOMPARE(h.form->monitor->text(), QString::fromLatin1("\x80$GPGGA,1"));
        QCOMPARE(h.form->LatSamples[1], 4807.038);

        h.form->StartStop_Click(); // stopping keeps the ring and the partial line
        QVERIFY(!h.serial->PortOpen());
        QCOMPARE(h.form->StartStop->text(), QStringLiteral("Start Log"));
        h.form->StartStop_Click();
        h.serial->receive(Fix); // completes "\x80$GPGGA,1$GPGGA,...", whose last sentence is whole
        QCOMPARE(h.form->SampleCount, 3);
        QCOMPARE(h.form->SampleIndex, 3);
        QCOMPARE(h.form->monitor->text(), QString()); // a serial line's sentence is done

        // A network source's lines come whole: the last stays to be seen,
        // and is no part of the next.
        h.serial->wholeLines = true;
        h.serial->receive("$GPGSA,A,3\r\n" + Fix);
        QCOMPARE(h.form->monitor->text(), QString::fromLatin1(Fix.trimmed()));
        h.serial->receive(Fix);
        QCOMPARE(h.form->SampleCount, 5);
        h.serial->receive("$GPGSV,3");
        QCOMPARE(h.form->monitor->text(), QStringLiteral("$GPGSV,3"));
    }

    // The status line keeps counting while batches keep arriving (it is
    // updated along with them, not starved by them).
    void statusCountsWhileBytesFlow()
    {
        Harness h;
        h.form->StartStop_Click();
        QTimer batches;
        QObject::connect(&batches, &QTimer::timeout, [&h] { h.serial->receive(Fix); });
        batches.start(50);
        QTRY_VERIFY_WITH_TIMEOUT(h.form->Label1->text().endsWith(" in 2 s."), 5000);
        QVERIFY(h.form->Label1->text().startsWith("Point 1: "));
    }

    // The status line says what is going on at every moment, and a held
    // message never outlasts the state it spoke of.
    void statusLine_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("status"); // a pattern for the whole line
        QTest::addColumn<bool>("logging");
        QTest::addColumn<bool>("pending");
        QTest::addColumn<bool>("open");

        QTest::newRow("receiver gone while logging")
            << QStringList{"Start Log", "fix", "lose"}
            << "No receiver on COM 1 since \\d\\d:\\d\\d:\\d\\d\\.\nLogging goes on when it is back\\."
            << true << false << true;
        QTest::newRow("a receiver not reached is waited for, not logged")
            << QStringList{"Start Log", "not reached", "Sync"}
            << "No receiver on COM 1 since \\d\\d:\\d\\d:\\d\\d\\.\nWaiting for a fix to set the clock\\."
            << true << true << true;
        QTest::newRow("an open that fails while waiting stops logging")
            << QStringList{"refuse COM 2", "Start Log", "fix", "lose", "COM 2"}
            << "Point 1, logging off: 1 fix\\." << false << false << false;
        QTest::newRow("Stop Log") << QStringList{"Start Log", "fix", "fix", "Start Log"}
                                  << "Point 1, logging off: 2 fixes\\." << false << false << false;
        QTest::newRow("a sync waits for a fix")
            << QStringList{"Start Log", "Sync"}
            << "Point 1: 0 fixes in 0 s\\.\nWaiting for a fix to set the clock\\." << true << true << true;
        QTest::newRow("a second press cancels")
            << QStringList{"Sync", "Sync"} << "Clock sync cancelled: the PC clock was not set\\." << false
            << false << false;
        QTest::newRow("Escape cancels")
            << QStringList{"Start Log", "Sync", "Escape"}
            << "Clock sync cancelled: the PC clock was not set\\." << true << false << true;
        QTest::newRow("a sync without a fix is dropped")
            << QStringList{"Sync", "no fix", "time passes"}
            << "No fix came within 1 minute: the PC clock was not set\\." << false << false << false;
        QTest::newRow("a stop rule chosen stops logging at its count, mid-batch")
            << QStringList{"stop after 2 fixes", "Start Log", "fix", "3 fixes"}
            << "Point 1, logging off: 2 fixes\\.\nStopped by its rule: after 2 fixes\\." << false << false
            << false;
        QTest::newRow("two lines at most: a waiting sync before the stopped rule")
            << QStringList{"stop after 2 fixes", "Start Log", "fix", "3 fixes", "Sync"}
            << "Point 1, logging off: 2 fixes\\.\nWaiting for a fix to set the clock\\." << false << true
            << true;
        QTest::newRow("a stop rule edited in the file meanwhile is followed")
            << QStringList{"Start Log", "Start Log", "edit fixes 2", "Start Log", "3 fixes"}
            << "Point 1, logging off: 2 fixes\\.\nStopped by its rule: after 2 fixes\\." << false << false
            << false;
        QTest::newRow("a stop rule stored shows its progress")
            << QStringList{"stored fixes 3", "Start Log"}
            << "Point 1: 0 fixes in 0 s\\.\nStop rule: 0 of 3 fixes\\." << true << false << true;
        QTest::newRow("a rule on the mean in the window's decimal separator")
            << QStringList{"stored mean 0.5", "German", "Start Log"}
            << "Point 1: 0 fixes in 0 s\\.\nStop at \u00b10,50 m: too short to tell\\." << true << false
            << true;
        QTest::newRow("a rule chosen while logging that is met stops logging at once")
            << QStringList{"Start Log", "3 fixes", "stop after 2 fixes"}
            << "Point 1, logging off: 3 fixes\\.\nStopped by its rule: after 2 fixes\\." << false << false
            << false;
        QTest::newRow("a rule met already lets logging run")
            << QStringList{"stored fixes 1", "Start Log", "3 fixes", "Start Log", "fix"}
            << "Point 1: 1 fix in 0 s\\." << true << false << true;
    }

    void statusLine()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, status);
        QFETCH(bool, logging);
        QFETCH(bool, pending);
        QFETCH(bool, open);
        QHash<QString, QString> stored;
        if (steps.first().startsWith("stored "))
            stored["Quorvel/Logging/StopRule"] = steps.takeFirst().mid(7);
        Harness h(stored);
        for (const QString &step : steps) {
            if (step == "stop after 2 fixes") {
                Answers answers({"2"});
                menuItem(h.form->StartStop, "Stop after a number of fixes\u2026")->trigger();
                QCOMPARE(h.settings.values.value("Quorvel/Logging/StopRule"), QStringLiteral("fixes 2"));
                QVERIFY(menuItem(h.form->StartStop, "Stop after a number of fixes: 2\u2026")->isChecked());
            } else if (step == "edit fixes 2")
                h.settings.values["Quorvel/Logging/StopRule"] = "fixes 2";
            else if (step == "3 fixes")
                h.serial->receive(Fix + Fix + Fix);
            else if (step == "Start Log")
                QTest::mouseClick(h.form->StartStop, Qt::LeftButton);
            else if (step == "German")
                QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
            else if (step == "Sync")
                QTest::mouseClick(h.form->SyncClock, Qt::LeftButton);
            else if (step == "Escape")
                QTest::keyClick(h.form->UTCOffset, Qt::Key_Escape); // the window's, whatever has the focus
            else if (step == "fix")
                h.serial->receive(Fix);
            else if (step == "no fix")
                h.serial->receive(NoFix);
            else if (step == "lose")
                h.serial->loseDevice();
            else if (step == "not reached")
                h.serial->notReached();
            else if (step == "refuse COM 2")
                h.serial->refusedPorts << 2;
            else if (step == "COM 2")
                h.form->Option2->click();
            else if (step == "time passes") {
                h.form->setSyncTimeout(std::chrono::milliseconds(1));
                QTRY_VERIFY(!h.form->SyncPending);
            } else
                QFAIL(qPrintable(step));
            QVERIFY2(h.form->SyncClock->isEnabled(), qPrintable(step)); // a pending sync is cancelled with it
        }
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(status))
                     .match(h.form->Label1->text())
                     .hasMatch(),
                 qPrintable(h.form->Label1->text()));
        QVERIFY2(statusNotWhole(*h.form->Label1, h.form->font()).isEmpty(),
                 qPrintable(statusNotWhole(*h.form->Label1, h.form->font())));
        QCOMPARE(h.form->Logging, logging);
        QCOMPARE(h.form->SyncPending, pending);
        QCOMPARE(h.serial->PortOpen(), open);
    }

    void switchPortWhileLogging()
    {
        Harness h;
        h.form->StartStop_Click();
        h.serial->receive(Fix.left(30));
        const int openings = h.serial->openings;
        h.form->Option3->click();
        QCOMPARE(h.serial->CommPort(), 3);
        QVERIFY(h.serial->PortOpen());
        QCOMPARE(h.serial->openings, openings + 2); // closed, then opened on COM 3
        QCOMPARE(h.settings.writes.last(), QStringLiteral("Port=3"));
        h.serial->receive(Fix.mid(30));
        QCOMPARE(h.form->SampleCount, 1);
    }

    void portThatCannotOpen()
    {
        Harness h;
        h.serial->refusedPorts = {2};
        h.form->Option2->click();
        h.form->StartStop_Click();
        QVERIFY(!h.serial->PortOpen() && !h.form->Logging);
        QCOMPARE(h.form->StartStop->text(), QStringLiteral("Start Log"));
        QCOMPARE(h.notices(), QStringList{"COM 2 cannot be opened"});
        QVERIFY(h.form->Option2->isChecked());

        h.form->SyncClock_Click();
        QVERIFY(!h.form->SyncPending && h.form->SyncClock->isEnabled());
        QCOMPARE(h.notices().size(), 1); // one box, not a stack of them
    }

    // A receiver that goes away is waited for: one line in the status, no
    // box, logging and the sync go on when it is back, on the same ring.
    void deviceLost()
    {
        Harness h;
        h.form->StartStop_Click();
        h.serial->receive(Fix + Fix.left(10));
        h.serial->loseDevice();
        QVERIFY(h.form->Logging && h.serial->PortOpen());
        QCOMPARE(h.form->StartStop->text(), QStringLiteral("Stop Log"));
        QVERIFY(h.notices().isEmpty());
        QVERIFY(h.form->Label1->text().startsWith("No receiver on COM 1 since "));
        QCOMPARE(h.form->SampleCount, 1);
        QCOMPARE(h.form->monitor->text(), QString::fromLatin1(Fix.left(10)));

        h.serial->comeBack();
        h.serial->receive("\r\n" + Fix);
        QCOMPARE(h.form->SampleCount, 2);
        QVERIFY(h.form->Label1->text().contains("back"));

        h.serial->loseDevice();
        h.form->StartStop_Click(); // Stop Log while waiting stops waiting
        QVERIFY(!h.form->Logging && !h.serial->PortOpen());
    }

    // A COM button's menu offers the devices present; the choice is stored
    // and takes effect at once on the port in use.
    void chooseDeviceFromMenu()
    {
        Harness h;
        h.serial->devices = {{"/dev/serial/by-id/usb-u-blox-if00", "u-blox GNSS receiver"}};
        h.form->StartStop_Click();
        const int openings = h.serial->openings;
        h.form->Option1->customContextMenuRequested(QPoint(5, 5));
        auto *menu = h.form->findChild<QMenu *>();
        QVERIFY(menu);
        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.first()->text(),
                 QStringLiteral("/dev/serial/by-id/usb-u-blox-if00 (u-blox GNSS receiver)"));
        actions.first()->trigger();
        QCOMPARE(h.settings.values.value("Quorvel/Ports/COM1"),
                 QStringLiteral("/dev/serial/by-id/usb-u-blox-if00"));
        QCOMPARE(h.serial->openings, openings + 2); // closed and opened again
        QVERIFY(h.form->Option1->toolTip().startsWith("COM 1 reads"));
        menu->close();
    }

    // A receiver's name is one line: text pasted with it that would make
    // more lines of the settings file is refused, and comes back to be mended.
    void sourceOnOneLine_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::newRow("a settings section after the device") << "/dev/ttyUSB0\n[Main]\nPort=4";
        QTest::newRow("a terminal's colour code") << "/dev/ttyUSB0\x1b[0m";
    }

    void sourceOnOneLine()
    {
        QFETCH(QString, pasted);
        Harness h;
        h.settings.writes.clear();
        h.form->Option2->customContextMenuRequested(QPoint(5, 5));
        auto *menu = h.form->findChild<QMenu *>();
        QVERIFY(menu);
        QAction *network = menu->actions().at(menu->actions().size() - 2);
        QVERIFY(network->text().remove(u'&').startsWith("Network or gpsd source"));
        // Chosen as a user chooses it: the menu is gone before the dialog
        // comes up. (Since Qt 6.8 a modal dialog closes an open menu, and
        // this one, deleted on close, would go in the dialog's event loop.)
        menu->hide();
        // The dialog is answered twice: with the pasted text, then, once it
        // is back, with Cancel.
        QStringList seen;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&seen, &pasted] {
            auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            if (!dialog || dialog->property("answered").toBool())
                return;
            dialog->setProperty("answered", true);
            seen << dialog->labelText();
            if (seen.size() == 1) {
                dialog->setTextValue(pasted);
                dialog->accept();
            } else {
                seen << dialog->textValue();
                dialog->reject();
            }
        });
        answer.start(10);
        network->trigger();
        QCOMPARE(seen.size(), 3);
        QVERIFY(seen[1].startsWith("A receiver is named on one line") && seen[1].endsWith(seen[0]));
        QCOMPARE(seen[2], pasted);
        QCOMPARE(h.settings.writes, QStringList{});
    }

    void calcPosition()
    {
        Harness h;
        h.form->Latitidue->setText("typed");
        QCOMPARE(h.answerModal([&h] { h.form->CalcPos_Click(); }),
                 QStringLiteral("Quorvel|No data recevied from GPS|%1|%2")
                     .arg(int(QMessageBox::NoIcon))
                     .arg(int(QMessageBox::Ok)));
        QCOMPARE(h.form->Latitidue->text(), QStringLiteral("typed"));

        h.form->storeSample(4807.038, -1131.000, 545.4);
        h.form->storeSample(4807.040, -1131.002, 545.6);
        h.form->storeSample(4807.042, -1131.004, 545.5);
        QStringList order;
        for (QLineEdit *box : {h.form->Latitidue, h.form->Longitude, h.form->Elevation}) {
            connect(box, &QLineEdit::textChanged, this, [&order, &h, box] {
                order << box->objectName()
                        + (h.form->cursor().shape() == Qt::WaitCursor ? "" : " without hourglass");
            });
            box->setObjectName(box == h.form->Latitidue ? "lat" : box == h.form->Longitude ? "lon" : "elev");
        }
        h.form->CalcPos_Click();
        QCOMPARE(order, (QStringList{"lat", "lon", "elev"}));
        QCOMPARE(h.form->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(h.form->Latitidue->text(), QStringLiteral("48.0704"));
        QCOMPARE(h.form->Longitude->text(), QStringLiteral("-11.31002"));
        QCOMPARE(h.form->Elevation->text(), QStringLiteral("545.5"));

        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        h.form->CalcPos_Click();
        QCOMPARE(h.form->Latitidue->text(), QStringLiteral("48,0704"));
    }

    // The exports of the mean write the mean on screen, with its count,
    // whatever was logged since; before Calc Position there is none. The
    // position is copied in each form.
    void exportsTheShownMean()
    {
        Harness h;
        h.form->storeSample(4807.038, -1131.000, 545.4);
        QVERIFY(!menuItem(h.form->Latitidue, "Copy position")->isEnabled());
        QVERIFY(!menuItem(h.form->Latitidue, "Save mean as\u2026")->isEnabled());
        QVERIFY(!menuItem(h.form->Latitidue, "Compare with a known point\u2026")->isEnabled());
        QVERIFY(menuItem(h.form->Latitidue, "Save fixes as CSV\u2026")->isEnabled());

        h.form->CalcPos_Click();
        h.form->storeSample(4807.538, -1131.500, 600.0); // some 900 m away
        h.form->storeSample(4807.538, -1131.500, 600.0);
        const QStringList forms{"Decimal degrees", "Degrees, minutes, seconds", "UTM", "MGRS"};
        const QStringList copied{"48.11730000,11.51666667", "48° 07′ 02.280″ N, 11° 31′ 00.000″ E",
                                 "UTM 32U 687300 5332401", "32U PU 87299 32401"};
        for (int i = 0; i < forms.size(); ++i) {
            menuItem(h.form->Latitidue, forms[i])->trigger();
            QCOMPARE(QGuiApplication::clipboard()->text(), copied[i]);
            QVERIFY2(h.form->Latitidue->toolTip().contains(copied[std::max(i, 2)]),
                     qPrintable(h.form->Latitidue->toolTip()));
        }
        QTemporaryDir dir;
        QVERIFY(h.form->saveMean(dir.filePath("mean.gpx"), "Mark"));
        QFile gpx(dir.filePath("mean.gpx"));
        QVERIFY(gpx.open(QIODevice::ReadOnly));
        const QByteArray saved = gpx.readAll();
        QVERIFY2(saved.contains("lat=\"48.11730000\"") && saved.contains("1 fix;"), saved.constData());
    }

    // Saving into a file that is there already asks whether to add the
    // point or replace the file; a file of another kind is replaced only
    // when the user says so.
    void saveIntoExistingFile_data()
    {
        QTest::addColumn<QByteArray>("existing"); // empty: none
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("points"); // in the file afterwards; -1: left as it was

        const QByteArray gpx
            = "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\" creator=\"x\">"
              "<wpt lat=\"1\" lon=\"2\"><name>First</name></wpt></gpx>";
        QTest::newRow("new file, no question") << QByteArray() << "" << 1;
        QTest::newRow("Return adds the point") << gpx << "Return" << 2;
        QTest::newRow("replace") << gpx << "Replace the file" << 1;
        QTest::newRow("cancel") << gpx << "Cancel" << -1;
        QTest::newRow("not GPX: Return keeps it") << QByteArray("lat,lon\n") << "Return" << -1;
        QTest::newRow("not GPX, replaced when asked") << QByteArray("lat,lon\n") << "Replace the file" << 1;
        // Opening it to read would wait for a writer for good.
        QTest::newRow("a named pipe: refused, not opened") << QByteArray("fifo") << "" << -1;
    }

    void saveIntoExistingFile()
    {
        QFETCH(QByteArray, existing);
        QFETCH(QString, reply);
        QFETCH(int, points);
        QTemporaryDir dir;
        const QString path = dir.filePath("day.gpx");
        QFile file(path);
        const bool fifo = existing == "fifo";
        if (fifo) {
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (!existing.isEmpty()) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(existing);
            file.close();
        }
        Harness h;
        h.form->storeSample(4807.038, -1131.000, 545.4);
        h.form->CalcPos_Click();
        Answers answers({reply});
        QCOMPARE(h.form->saveMean(dir.filePath("day"), "Mark"), points > 0); // .gpx added
        if (fifo) {
            QVERIFY(answers.asked.isEmpty());
            auto *notice = h.form->findChild<QMessageBox *>();
            QVERIFY(notice && notice->text().contains("it is a pipe, a device or a socket"));
            QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());
            return;
        }
        QCOMPARE(answers.asked.size(), existing.isEmpty() ? 0 : 1);
        // The reason the file cannot be added to is set into the question's
        // sentence: no capital after a colon, one full stop.
        QVERIFY2(!answers.asked.value(0).contains(QRegularExpression("\\.\\)|: [A-Z][a-z]")),
                 qPrintable(answers.asked.value(0)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray saved = file.readAll();
        if (points < 0)
            QCOMPARE(saved, existing);
        else
            QCOMPARE(saved.count("<wpt "), points);
    }

    // A known point typed in: its distance and bearing from the mean in the
    // status line and the tooltips; text that is no position is said so and
    // asked for again.
    void knownPoint()
    {
        Harness h;
        h.form->storeSample(4807.038, -1131.000, 545.4);
        h.form->CalcPos_Click();
        Answers answers({"the church", "OK", "48.1174 11.51666667"});
        menuItem(h.form->Latitidue, "Compare with a known point\u2026")->trigger();
        QCOMPARE(answers.asked.size(), 3);
        QVERIFY2(answers.asked[1].startsWith("This is no position that can be read (“the” is not part of a "
                                             "position)."),
                 qPrintable(answers.asked[1]));
        // Two short lines fit the status line; the whole sentence is in the tooltips.
        QCOMPARE(h.form->Label1->text(), "Known point: 11.12 m at 0°.\nToo short to tell if within 95 %.");
        const QString told = "Known point: 11.12 m at 0° from the mean; "
                             "too short to tell whether it lies within the 95 % radius";
        QVERIFY(h.form->Label1->toolTip().endsWith(told));
        QVERIFY(h.form->Longitude->toolTip().endsWith(told));
        h.form->CalcPos_Click(); // kept for the next mean
        QVERIFY(h.form->Label1->toolTip().endsWith("radius"));
        // Cleared: said so, and gone from the tooltips and the next mean.
        menuItem(h.form->Latitidue, "Clear the known point")->trigger();
        QCOMPARE(h.form->Label1->text(), "Known point cleared.");
        QVERIFY(!h.form->Longitude->toolTip().contains("Known point"));
        h.form->CalcPos_Click();
        QVERIFY(!h.form->Label1->toolTip().contains("Known point"));
        QVERIFY(!menuItem(h.form->Latitidue, "Clear the known point"));
    }

    // The scatter window follows new fixes, its labels stay apart, and a
    // screen reader hears the count and the spread.
    void scatter()
    {
        for (const double radius : {0.0, 40.0}) { // one fix; CEP50 equal to CEP95
            const auto [cep50, cep95] = ScatterWindow::circleLabels(QPointF(180, 190), radius, radius,
                                                                    QSizeF(70, 14), QSizeF(70, 14), 356);
            QVERIFY(!cep50.intersects(cep95));
        }

        Harness h;
        h.form->StartStop_Click();
        h.serial->receive(Fix);
        h.form->showScatter();
        auto *window = h.form->findChild<ScatterWindow *>();
        QVERIFY(window);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(window);
        QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Scatter of the fixes"));
        QCOMPARE(accessible->text(QAccessible::Description),
                 QStringLiteral("1 fix around its mean; CEP50 0 cm, CEP95 0 cm."));
        h.form->CalcPos_Click(); // its message holds the status line a while
        h.serial->receive(Fix + Fix);
        QTRY_VERIFY(
            accessible->text(QAccessible::Description).startsWith("3 fixes around their mean; CEP50 "));
        window->close();
    }

    // Two points logged one after the other: New point keeps the first
    // point's mean of every fix it has, those since Calc Position too, and
    // the second mean is of the second point's fixes alone. The Points
    // window lists both; a restart reads them again and goes on counting.
    void newPointThenTwoMeans()
    {
        Harness h;
        h.form->StartStop_Click();
        h.serial->receive(Fix);
        h.form->CalcPos_Click();
        h.serial->receive(Fix);
        Answers answers({"Keep it in the list only"});
        menuItem(h.form->StartStop, "New point\u2026")->trigger();
        QCOMPARE(answers.asked.size(), 1);
        QVERIFY2(answers.asked[0].startsWith("The mean of point 1 (2 fixes"), qPrintable(answers.asked[0]));
        QCOMPARE(h.form->SampleCount, 0);
        QCOMPARE(h.form->Latitidue->text(), QString());
        QVERIFY(!h.form->Latitidue->isUndoAvailable());
        QCOMPARE(h.form->Label1->text(), QStringLiteral("Point 2: 0 fixes in 0 s."));

        h.serial->receive(FixNearby + FixNearby);
        h.form->CalcPos_Click();
        QCOMPARE(h.form->Latitidue->text(), QStringLiteral("48.07538"));
        QVERIFY2(QRegularExpression(
                     "\nPrevious point \\(Point 1, \\d\\d:\\d\\d:\\d\\d\\): 1\\.115 km at 214\u00b0 "
                     "from the mean$")
                     .match(h.form->Label1->toolTip())
                     .hasMatch(),
                 qPrintable(h.form->Label1->toolTip()));
        QVERIFY(h.form->saveMean(h.data.filePath("b.gpx"), "Stone B"));

        const auto rows = [](QWidget *window) {
            QTableWidget *table = window->findChild<PointsWindow *>()->table();
            QStringList texts;
            for (int row = 0; row < table->rowCount(); ++row) {
                QStringList cells;
                for (const int column : {PointsWindow::Number, PointsWindow::Name, PointsWindow::Fixes,
                                         PointsWindow::Latitude, PointsWindow::Longitude})
                    cells << table->item(row, column)->text();
                texts << cells.join('|');
            }
            return texts.join('\n').replace(QRegularExpression("\\d\\d:\\d\\d:\\d\\d"), "hh:mm:ss");
        };
        const QString listed = "1|Point 1, hh:mm:ss|2|48.11730000|11.51666667\n"
                               "2|Stone B|2|48.12563333|11.52500000";
        h.form->showPoints();
        QCOMPARE(rows(h.form.get()), listed);
        // Save all as refuses a named pipe, as Save mean as does: it stays a pipe.
        const QString pipe = h.data.filePath("all.gpx");
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(!h.form->findChild<PointsOfTheDay *>()->saveAll(pipe));
        QVERIFY(!QFileInfo(pipe).isFile());

        // Cleared while the file cannot be written (not a byte may be
        // written: root passes every permission), with a line of the user's
        // that stays: the user is told the points are still in it, not that
        // they are cleared, and a restart lists them again.
        QFile file(h.data.filePath("Quorvel/points.jsonl"));
        QVERIFY(file.open(QIODevice::Append));
        file.write("a line of the user's\n");
        file.close();
        {
            rlimit before{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
            const rlimit none{0, before.rlim_max};
            const auto sigxfsz = std::signal(SIGXFSZ, SIG_IGN);
            const auto restore = qScopeGuard([&] {
                setrlimit(RLIMIT_FSIZE, &before);
                std::signal(SIGXFSZ, sigxfsz);
            });
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &none), 0);
            Answers clearIt({"Clear the list"});
            for (QPushButton *button : h.form->findChild<PointsWindow *>()->findChildren<QPushButton *>()) {
                if (button->text().remove('&') == QStringLiteral("Clear the list\u2026"))
                    button->click();
            }
            QCOMPARE(clearIt.asked.size(), 1);
        }
        QVERIFY2(h.form->Label1->text() != "Points of the day cleared.", qPrintable(h.form->Label1->text()));
        QVERIFY2(h.notices().size() == 1
                     && h.notices().first().contains("listed again when GPS Quorvel starts"),
                 qPrintable(h.notices().join('|')));

        Form1 again(std::make_unique<FakeSerialControl>(), h.settings, std::make_unique<FakeClock>());
        again.Form_Load();
        again.showPoints();
        QCOMPARE(rows(&again), listed);
        again.StartStop_Click();
        QCOMPARE(again.Label1->text(), QStringLiteral("Point 3: 0 fixes in 0 s."));
    }

    // The distance and bearing from each point to the one before are
    // GeographicLib's own, as its GeodSolve gives them, to the millimetre.
    void pointsAgreeWithGeodSolve_data()
    {
        QTest::addColumn<double>("latitude1");
        QTest::addColumn<double>("longitude1");
        QTest::addColumn<double>("latitude2");
        QTest::addColumn<double>("longitude2");

        QTest::newRow("two stones 25 m apart") << 48.1173 << 11.51666667 << 48.11752 << 11.51668;
        QTest::newRow("across the antimeridian") << -16.5 << 179.99999 << -16.50001 << -179.99999;
        QTest::newRow("Munich to Sydney") << 48.1173 << 11.5167 << -33.8688 << 151.2093;
        QTest::newRow("nearly antipodal") << 0.5 << 0.0 << -0.5 << 179.7;
    }

    void pointsAgreeWithGeodSolve()
    {
        QFETCH(double, latitude1);
        QFETCH(double, longitude1);
        QFETCH(double, latitude2);
        QFETCH(double, longitude2);
        const QString program = QStandardPaths::findExecutable(QStringLiteral("GeodSolve"));
        if (program.isEmpty())
            QSKIP("GeodSolve is not installed (Debian package geographiclib-tools)");
        QList<files::KeptPoint> points(2);
        points[0].point.latitude = latitude1;
        points[0].point.longitude = longitude1;
        points[1].point.latitude = latitude2;
        points[1].point.longitude = longitude2;
        points[1].point.name = QString(10'000, QLatin1Char('A')); // keeps the distances in sight
        PointsWindow window;
        window.setPoints(points, QString());
        QVERIFY(window.table()->horizontalHeader()->length() < 2000);
        const auto figure = [&window](int column) {
            return window.table()->item(1, column)->text().remove(QRegularExpression("[^0-9.]")).toDouble();
        };

        // From the second point to the first: s12 azi1 azi2.
        QProcess process;
        process.start(program, {"-i", "-p", "6"});
        process.write(QStringLiteral("%1 %2 %3 %4\n")
                          .arg(latitude2, 0, 'f', 10)
                          .arg(longitude2, 0, 'f', 10)
                          .arg(latitude1, 0, 'f', 10)
                          .arg(longitude1, 0, 'f', 10)
                          .toLatin1());
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished());
        const QStringList solved = QString::fromLatin1(process.readAllStandardOutput()).split(' ');
        QCOMPARE(solved.size(), 3);
        const double azimuth = std::fmod(solved[0].toDouble() + 360, 360);
        QVERIFY2(std::abs(figure(PointsWindow::Distance) - solved[2].toDouble()) <= 0.0005 + 1e-9,
                 qPrintable(solved.join(' ')));
        QVERIFY2(std::abs(std::remainder(figure(PointsWindow::Bearing) - azimuth, 360)) <= 0.005 + 1e-9,
                 qPrintable(solved.join(' ')));
    }

    void absurdMeanIsReported()
    {
        Harness h;
        h.form->Elevation->setText("kept");
        h.form->storeSample(4807, 1131, 1.7e308);
        h.form->storeSample(4807, 1131, 1.7e308);
        QVERIFY(h.answerModal([&h] { h.form->CalcPos_Click(); }).contains("cannot be averaged"));
        QCOMPARE(h.form->Elevation->text(), QStringLiteral("kept"));
    }

    // The PC's UTC clock reads GPS time when the fix arrives. A move of more
    // than a day, or one that puts the PC's UTC clock an hour or more off
    // because the offset typed is not the PC zone's, waits for Yes (No is the
    // default); an offset nobody typed follows the zone at the fix.
    void clockSync_data()
    {
        QTest::addColumn<bool>("logging");
        QTest::addColumn<QString>("offset"); // typed into the box after the press; "-": none stored or typed
        QTest::addColumn<QByteArray>("zone"); // the PC's (TZ) when the fix arrives
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QString>("question"); // part of the question asked, if one is
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("clockSettings"); // the PC's UTC clock after each move
        QTest::addColumn<int>("samples");

        const QByteArray gga = "$GPGGA,%1,4807.038,N,01131.000,E,%2,08,0.9,545.4,M,46.9,M,,\r\n";
        const auto line = [&gga](const char *time, char quality = '1') {
            return QByteArray(gga).replace("%1", time).replace("%2", QByteArray(1, quality));
        };
        const QByteArray in2079 = "$GPRMC,143005.00,A,4807.038,N,01131.000,E,0.0,0.0,071279,,,A\r\n";
        QTest::newRow("logging off") << false << "10" << QByteArray("UTC") << line("143005")
                                     << "puts the PC's UTC clock 10 h ahead"
                                     << "Yes" << QStringList{"00:30:05.00"} << 0;
        QTest::newRow("logging on: stored, then set")
            << true << "10" << QByteArray("UTC") << line("143005") << "at 00:30:05 when GPS says 14:30:05 UTC"
            << "Yes" << QStringList{"00:30:05.00"} << 1;
        QTest::newRow("five hours behind")
            << false << "-5" << QByteArray("UTC") << line("030000") << "5 h behind"
            << "Yes" << QStringList{"22:00:00.00"} << 0;
        QTest::newRow("an offset typed 10 h from the zone: No leaves the clock")
            << false << "10" << QByteArray("UTC") << line("143005")
            << "UTC+10, is not the PC's time zone, UTC+0"
            << "No" << QStringList{} << 0;
        QTest::newRow("the zone's own offset typed: not asked")
            << false << "5:30" << QByteArray("Asia/Kolkata") << line("143005") << ""
            << "" << QStringList{"14:30:05.00"} << 0;
        QTest::newRow("no offset typed: the zone's at the fix, not asked")
            << false << "-" << QByteArray("Asia/Kolkata") << line("143005") << ""
            << "" << QStringList{"14:30:05.00"} << 0;
        QTest::newRow("a receiver's date 53 years ahead: No leaves the clock")
            << false << "0" << QByteArray("UTC") << in2079 << "to 2079-12-07 14:30:05 (local time)"
            << "No" << QStringList{} << 0;
        QTest::newRow("a receiver's date 53 years ahead: Yes moves it once")
            << false << "0" << QByteArray("UTC") << in2079 + in2079 << "more than a day"
            << "Yes" << QStringList{"14:30:05.00"} << 0;
        QTest::newRow("fraction kept") << false << "0" << QByteArray("UTC") << line("221530.99") << ""
                                       << "" << QStringList{"22:15:30.99"} << 0;
        QTest::newRow("no fix keeps waiting") << true << "0" << QByteArray("UTC") << line("143005", '0') << ""
                                              << "" << QStringList{} << 0;
        QTest::newRow("bad time keeps waiting, sample counts")
            << true << "0" << QByteArray("UTC") << line("1430xx") + line("143006") << ""
            << "" << QStringList{"14:30:06.00"} << 2;
        QTest::newRow("only the first fix sets the clock")
            << false << "0" << QByteArray("UTC") << line("143005") + line("143006") << ""
            << "" << QStringList{"14:30:05.00"} << 0;
    }

    void clockSync()
    {
        QFETCH(bool, logging);
        QFETCH(QString, offset);
        QFETCH(QByteArray, zone);
        QFETCH(QByteArray, lines);
        QFETCH(QString, question);
        QFETCH(QString, answer);
        QFETCH(QStringList, clockSettings);
        QFETCH(int, samples);
        Harness h(offset == "-" ? QHash<QString, QString>{}
                                : QHash<QString, QString>{{"Quorvel/Main/UTCOffset", "3"}});
        if (logging)
            h.form->StartStop_Click();
        h.form->SyncClock_Click();
        QVERIFY(h.form->SyncPending && h.serial->PortOpen());
        if (offset != "-") {
            h.form->UTCOffset->setText(offset); // the offset in force when the line arrives counts
            h.form->UTCOffset_LostFocus();
        }

        // The PC's UTC clock reads the first line's GPS time, today.
        const QTime gps = QTime::fromString(QString::fromLatin1(lines.mid(7, 6)), "hhmmss");
        const QDateTime today(QDateTime::currentDateTimeUtc().date(), gps.isValid() ? gps : QTime(14, 30, 6),
                              QTimeZone::utc());
        const clock::UtcTime epoch{std::chrono::milliseconds(today.toMSecsSinceEpoch())};
        h.serial->burstEpoch = epoch;
        h.clock->now = epoch;
        h.clock->watched = h.form->monitor; // holds the line being decoded
        const QByteArray savedZone = qgetenv("TZ");
        qputenv("TZ", zone);
        h.serial->receive(lines);
        qputenv("TZ", savedZone);
        const QStringList shown = h.notices();
        if (question.isEmpty()) {
            QVERIFY2(shown.isEmpty(), qPrintable(shown.join(" | ")));
        } else {
            QVERIFY2(shown.size() == 1 && shown.first().contains(question), qPrintable(shown.join(" | ")));
            auto *box = h.form->findChild<QMessageBox *>();
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
            box->button(answer == "Yes" ? QMessageBox::Yes : QMessageBox::No)->click();
        }
        QCOMPARE(h.clock->settings, clockSettings);
        if (!clockSettings.isEmpty())
            QVERIFY(lines.contains(h.clock->watchedTexts.first().toLatin1() + "\r\n"));
        QCOMPARE(h.form->SampleCount, samples);
        const bool done = !clockSettings.isEmpty() || answer == "No";
        QCOMPARE(h.form->SyncPending, !done);
        QVERIFY(h.form->SyncClock->isEnabled()); // to cancel while pending, or once answered
        QCOMPARE(h.serial->PortOpen(), logging || !done);
    }

    // The receiver's delay: set by hand for the receiver in use, else measured
    // for it while the PC's clock is synchronized (bursts 150 ms after their
    // second here) and until the program moves the clock, else one set by
    // hand for every receiver by an earlier version, else none. The menu says
    // which; the sync adds it.
    void receiverDelay_data()
    {
        QTest::addColumn<QString>(
            "hand"); // [HandDelays] for COM 1's receiver; "N (old)": [Clock] ReceiverDelayMs
        QTest::addColumn<QString>("measured"); // stored for COM 1's receiver
        QTest::addColumn<bool>("synchronized"); // the PC's clock, while eleven seconds are received
        QTest::addColumn<QString>(
            "step"); // before the seconds: "sync"; after: the dialog's reply, or "use measured"
        QTest::addColumn<QString>("menu");
        QTest::addColumn<int>("used");
        QTest::newRow("none") << ""
                              << "" << false << ""
                              << "0 ms, not measured yet" << 0;
        QTest::newRow("set by hand") << "150"
                                     << "" << false << ""
                                     << "150 ms, set by hand" << 150;
        QTest::newRow("measured before") << ""
                                         << "42" << false << ""
                                         << "42 ms, measured for this receiver" << 42;
        QTest::newRow("set by hand wins") << "20"
                                          << "42" << true << ""
                                          << "20 ms, set by hand" << 20;
        QTest::newRow("measured now, while synchronized") << ""
                                                          << "42" << true << ""
                                                          << "150 ms, measured for this receiver" << 150;
        QTest::newRow("not measured while not synchronized") << ""
                                                             << "" << false << ""
                                                             << "0 ms, not measured yet" << 0;
        QTest::newRow("not measured once the program has moved the clock") << ""
                                                                           << "" << true << "sync"
                                                                           << "0 ms, not measured yet" << 0;
        QTest::newRow("an old delay for every receiver: this receiver's measured one wins")
            << "305 (old)"
            << "703" << false << ""
            << "703 ms, measured for this receiver" << 703;
        QTest::newRow("an old delay for every receiver, where nothing is measured")
            << "305 (old)"
            << "" << false << ""
            << "305 ms, set by hand for every receiver" << 305;
        QTest::newRow("OK without a change leaves a measured delay measured")
            << ""
            << "42" << false << "42"
            << "42 ms, measured for this receiver" << 42;
        QTest::newRow("a delay typed is this receiver's") << ""
                                                          << "42" << false << "250"
                                                          << "250 ms, set by hand" << 250;
        QTest::newRow("use the measured delay: the hand-set one goes")
            << "20"
            << "42" << false << "use measured"
            << "42 ms, measured for this receiver" << 42;
        QTest::newRow("use the measured delay: an old one for every receiver goes")
            << "305 (old)"
            << "" << false << "use measured"
            << "0 ms, not measured yet" << 0;
    }

    void receiverDelay()
    {
        QFETCH(QString, hand);
        QFETCH(QString, measured);
        QFETCH(bool, synchronized);
        QFETCH(QString, step);
        QFETCH(QString, menu);
        QFETCH(int, used);
        QHash<QString, QString> stored{{"Quorvel/Main/UTCOffset", "0"}};
        if (hand.endsWith(" (old)"))
            stored["Quorvel/Clock/ReceiverDelayMs"] = hand.section(' ', 0, 0);
        else if (!hand.isEmpty())
            stored["Quorvel/HandDelays//dev/ttyS0"] = hand;
        if (!measured.isEmpty())
            stored["Quorvel/MeasuredDelays//dev/ttyS0"] = measured;
        Harness h(stored);
        h.clock->synchronized = synchronized;
        h.form->StartStop_Click();
        if (step == "sync") {
            h.form->SyncClock_Click();
            h.serial->receive(Fix);
            QCOMPARE(h.clock->settings.size(), 1);
        }
        // Eleven seconds of bursts, each 150 ms after its second.
        using namespace std::chrono;
        const auto start = floor<seconds>(clock::pcUtcNow()) - seconds(20);
        for (int i = 0; i <= 11; ++i) {
            const auto second = start + seconds(i);
            h.serial->burstEpoch = second + milliseconds(150);
            const QTime time
                = QDateTime::fromSecsSinceEpoch(duration_cast<seconds>(second.time_since_epoch()).count(),
                                                QTimeZone::utc())
                      .time();
            h.serial->receive("$GPRMC," + time.toString("hhmmss").toLatin1()
                              + ".00,A,4807.038,N,01131.000,E,0.0,0.0,071226,,,A\r\n");
        }
        const auto items = [&h] {
            for (QMenu *old : h.form->findChildren<QMenu *>())
                delete old;
            h.form->SyncClock->customContextMenuRequested(QPoint(5, 5));
            auto *shown = h.form->findChild<QMenu *>();
            shown->close();
            return shown->actions();
        };
        if (step == "use measured") {
            QAction *back = items().value(1);
            QVERIFY(back && back->isEnabled());
            back->trigger();
        } else if (!step.isEmpty() && step != "sync") {
            Answers answers({step});
            items().first()->trigger();
            QVERIFY2(answers.asked.value(0).contains("In use for /dev/ttyS0: "),
                     qPrintable(answers.asked.join("|")));
        }
        QCOMPARE(items().first()->text(), QStringLiteral("Receiver &delay\u2026 (%1)").arg(menu));
        const QAction *back = items().value(1);
        QCOMPARE(back && back->isEnabled(), menu.contains("by hand"));
        h.serial->burstEpoch.reset();
        h.form->SyncClock_Click();
        h.serial->receive(Fix);
        QVERIFY2(h.form->Label1->toolTip().contains(QStringLiteral("receiver delay %1 ms").arg(used)),
                 qPrintable(h.form->Label1->toolTip()));
    }

    // Keeping the clock on GPS time, chosen in Sync PC Clock's menu. Steps:
    // "keep" (the menu item), "N ms xK" (K bursts of a GGA sentence a second
    // apart, the PC's clock N ms ahead), "late" (one burst 400 ms late, the
    // PC busy), "synchronized" (by network time), "refuse" (the system
    // refuses every setting), "ntp on" (network time holds the clock,
    // unsynchronized), "yes"/"no" (to the question), "press" (Sync PC
    // Clock), "log" (Start or Stop Log).
    void keeping_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QList<int>>("moves"); // ms, as asked of the clock
        QTest::addColumn<bool>("keeping");
        QTest::addColumn<bool>("open"); // the port
        QTest::addColumn<QString>("said"); // by the status line or Sync PC Clock's tooltip
        QTest::newRow("within the bound: not moved")
            << QStringList{"keep", "30 ms x10"} << QList<int>{} << true << true
            << "This PC's clock is 0.030 s ahead of GPS time.";
        QTest::newRow("a late burst alone does not move it")
            << QStringList{"keep", "30 ms x3", "late", "30 ms x3"} << QList<int>{} << true << true
            << "This PC's clock is 0.030 s ahead of GPS time.";
        QTest::newRow("past it: moved back, at most once a minute")
            << QStringList{"keep", "80 ms x70"} << QList<int>{-80, -80} << true << true
            << "Clock kept on GPS time:\nmoved -0.080 s.";
        QTest::newRow("not while network time has synchronized the clock")
            << QStringList{"synchronized", "keep", "80 ms x10"} << QList<int>{} << true << true
            << "Clock not kept: network time\nhas synchronized it.";
        QTest::newRow("a refusal stops keeping, once")
            << QStringList{"keep", "refuse", "80 ms x70"} << QList<int>{-80} << false << false
            << "Keeping the clock stopped";
        QTest::newRow("network time on: asked, turned off, kept")
            << QStringList{"keep", "ntp on", "80 ms x10", "yes"} << QList<int>{-80, -80} << true << true
            << "Clock kept on GPS time:\nmoved -0.080 s.";
        QTest::newRow("network time left on: keeping stops")
            << QStringList{"keep", "ntp on", "80 ms x10", "no"} << QList<int>{-80} << false << false
            << "network time is on";
        QTest::newRow("a sync waiting moves the clock itself")
            << QStringList{"keep", "80 ms x4", "press", "80 ms x1"} << QList<int>{-80} << true << true
            << "Clock set to";
        QTest::newRow("the port stays open past Stop Log")
            << QStringList{"keep", "log", "log"} << QList<int>{} << true << true
            << "Keeping the clock on GPS time.";
        QTest::newRow("and closes when keeping ends")
            << QStringList{"keep", "keep"} << QList<int>{} << false << false << "logging off";
    }

    void keeping()
    {
        QFETCH(QStringList, steps);
        QFETCH(QList<int>, moves);
        QFETCH(bool, keeping);
        QFETCH(bool, open);
        QFETCH(QString, said);
        Harness h({{"Quorvel/Main/UTCOffset", "0"}});
        using namespace std::chrono;
        const auto start = floor<seconds>(clock::pcUtcNow()) - seconds(200);
        int t = 0;
        milliseconds last{0};
        const auto burst = [&](milliseconds ahead) {
            last = ahead;
            const auto second = start + seconds(t++);
            h.serial->burstEpoch = second + ahead;
            const QDateTime utc = QDateTime::fromSecsSinceEpoch(
                duration_cast<seconds>(second.time_since_epoch()).count(), QTimeZone::utc());
            h.serial->receive("$GPGGA," + utc.toString("hhmmss").toLatin1()
                              + ".00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n");
        };
        for (const QString &step : steps) {
            const QStringList words = step.split(' ');
            if (step == "keep") {
                Q_EMIT h.form->SyncClock->customContextMenuRequested(QPoint(5, 5));
                QMenu *menu = h.form->findChildren<QMenu *>().constLast();
                for (QAction *action : menu->actions()) {
                    if (action->text().remove('&') == "Keep the clock on GPS time")
                        action->trigger();
                }
                menu->close();
            } else if (words.value(1) == "ms") {
                for (int i = 0; i < words.value(2).mid(1).toInt(); ++i)
                    burst(milliseconds(words.first().toInt()));
            } else if (step == "late") {
                burst(last + milliseconds(400));
            } else if (step == "synchronized") {
                h.clock->synchronized = true;
            } else if (step == "refuse") {
                h.clock->refusal = "You are not allowed to set the time.";
            } else if (step == "ntp on") {
                h.clock->ntpOn = true;
            } else if (step == "yes" || step == "no") {
                auto *question = h.form->findChild<QMessageBox *>();
                QAbstractButton *answer = question
                    ? question->button(step == "yes" ? QMessageBox::Yes : QMessageBox::No)
                    : nullptr;
                QVERIFY2(answer, "no question asked");
                answer->click();
            } else if (step == "press") {
                h.form->SyncClock_Click();
            } else if (step == "log") {
                h.form->StartStop_Click();
            } else {
                QFAIL(qPrintable(step));
            }
        }
        QList<int> asked;
        for (const microseconds move : h.clock->moves)
            asked << int(round<milliseconds>(move).count());
        QCOMPARE(asked, moves);
        QCOMPARE(h.form->Keeping, keeping);
        QCOMPARE(h.serial->PortOpen(), open);
        const QString shown = h.form->Label1->text() + '\n' + h.form->SyncClock->toolTip();
        QVERIFY2(shown.contains(said), qPrintable(shown));
        QCOMPARE(h.settings.values.value("Quorvel/Clock/Keep"), keeping ? "true" : "false");
        // A refusal is told once, in full.
        QCOMPARE(h.notices().size(), steps.contains("refuse") ? 1 : 0);
    }

    // Until the system has answered, no second request can start; then the
    // status line says what was done (TZ=UTC here, unlike the box).
    void syncIsOneRequest()
    {
        Harness h({{"Quorvel/Main/UTCOffset", "5:30"}});
        h.clock->holdAnswers = true;
        h.form->show();
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        h.form->SyncClock->setFocus();
        // The PC's UTC clock reads GPS time at the fix.
        const QDateTime gps(QDateTime::currentDateTimeUtc().date(), QTime(14, 30, 5), QTimeZone::utc());
        h.serial->burstEpoch = h.clock->now
            = clock::UtcTime{std::chrono::milliseconds(gps.toMSecsSinceEpoch())};
        h.form->SyncClock_Click();
        h.serial->receive(Fix);
        // 5:30 from the PC's zone: the user is asked first.
        auto *question = h.form->findChild<QMessageBox *>();
        QVERIFY(question && question->isVisible());
        QVERIFY(!h.form->SyncClock->isEnabled() && !h.serial->PortOpen());
        h.form->SyncClock_Click(); // as a second press would
        h.form->StartStop_Click();
        h.serial->receive(Fix);
        QCOMPARE(h.clock->settings, QStringList{});
        question->button(QMessageBox::Yes)->click();
        QCOMPARE(h.clock->settings, QStringList{"20:00:05.00"});
        h.serial->receive(Fix);
        QCOMPARE(h.clock->settings.size(), 1);
        QVERIFY(!h.form->SyncClock->isEnabled());

        Q_EMIT h.clock->timeSet(-1250);
        QVERIFY(h.form->SyncClock->isEnabled());
        QCOMPARE(QApplication::focusWidget(), h.form->SyncClock); // the next key is the button's again
        // Two short lines: the time set, and that the PC's zone is not the
        // offset's; the whole in the tooltip.
        QCOMPARE(h.form->Label1->text(),
                 QStringLiteral("Clock set to 20:00:05.000.\nThe PC's time zone is UTC+0."));
        QVERIFY2(QRegularExpression(
                     "^Clock set to 20:00:05\\.000 \\(UTC\\+5:30\\), moved [-+][0-9]+\\.[0-9]{3} s; "
                     "receiver delay 0 ms\\.\nThe PC's time zone is UTC\\+0\\.$")
                     .match(h.form->Label1->toolTip())
                     .hasMatch(),
                 qPrintable(h.form->Label1->toolTip()));
    }

    // What the system answers is told in the status line's two lines, and
    // in whole in its tooltip.
    void clockAnswers_data()
    {
        QTest::addColumn<int>("refusal"); // clock::SystemClock::Refusal; -1: none, the clock is set
        QTest::addColumn<QString>("reply"); // asked whether to turn network time off
        QTest::addColumn<QString>("status"); // a pattern
        QTest::addColumn<QString>("tip"); // how the tooltip ends

        using Refusal = clock::SystemClock::Refusal;
        QTest::newRow("set")
            << -1 << ""
            << "Clock set to 14:30:05\\.000\\.\nMoved [-+][0-9]+\\.[0-9]{3} s \\(UTC\\+0\\)\\."
            << "receiver delay 0 ms.";
        QTest::newRow("set once network time is turned off")
            << int(Refusal::NetworkTimeOn) << "Yes"
            << "Clock set to 14:30:05\\.000\\.\nNetwork time is now off\\."
            << "\"timedatectl set-ntp true\".";
        QTest::newRow("network time left on")
            << int(Refusal::NetworkTimeOn) << "No"
            << "The PC clock was not set: network time synchronization is on\\."
            << "The PC clock was not set: network time synchronization is on.";
        QTest::newRow("network time has synchronized the clock")
            << int(Refusal::NetworkTimeSynchronized) << ""
            << "The PC clock was not set: network time has synchronized it\\."
            << "closer to the true time than GPS sentences.";
    }

    void clockAnswers()
    {
        QFETCH(int, refusal);
        QFETCH(QString, reply);
        QFETCH(QString, status);
        QFETCH(QString, tip);
        Harness h({{"Quorvel/Main/UTCOffset", "0"}});
        h.clock->holdAnswers = true;
        h.form->SyncClock_Click();
        h.serial->receive(Fix);
        Answers answers({reply});
        if (refusal < 0)
            Q_EMIT h.clock->timeSet(0);
        else
            Q_EMIT h.clock->refused("the system said no", clock::SystemClock::Refusal(refusal));
        if (!reply.isEmpty()) {
            QTRY_COMPARE(answers.asked.size(), 1);
            if (reply == "Yes")
                Q_EMIT h.clock->timeSet(0); // the move asked for once network time was off
        }
        QTRY_VERIFY(h.form->SyncClock->isEnabled());
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(status))
                     .match(h.form->Label1->text())
                     .hasMatch(),
                 qPrintable(h.form->Label1->text()));
        QVERIFY2(statusNotWhole(*h.form->Label1, h.form->font()).isEmpty(),
                 qPrintable(statusNotWhole(*h.form->Label1, h.form->font())));
        QVERIFY2(h.form->Label1->toolTip().endsWith(tip), qPrintable(h.form->Label1->toolTip()));
        const bool more = h.form->Label1->toolTip() != h.form->Label1->accessibleName();
        QCOMPARE(h.form->Label1->accessibleDescription(), more ? h.form->Label1->toolTip() : QString());
    }

    // The widest that a clock sync's two lines can be (a date, a fraction,
    // an offset of +12:45) fits them; this test runs again with DejaVu Sans
    // as the only face, where the line may be made smaller, never cut short.
    void clockStatusFits_data()
    {
        QTest::addColumn<QString>("status");
        using namespace std::chrono_literals;
        clock::MoveRequest widest{
            {23, 59, 59, 999'000'000, 3}, nmea::Date{2026, 12, 8}, {}, 999ms, 765, 765 * 60,
            nmea::Date{2026, 12, 8}};
        const clock::ClockMove back{-86'399'999'000us, clock::DateUse::Set};
        QTest::newRow("with its date") << clock::clockSetBrief(widest, back);
        QTest::newRow("network time turned off") << clock::clockSetBrief(widest, back, true);
        widest.zoneOffsetSeconds = -12 * 3600;
        QTest::newRow("the PC's zone not the offset's") << clock::clockSetBrief(widest, back);
        widest.gpsDate = nmea::Date{1999, 8, 22};
        QTest::newRow("the receiver's date not used")
            << clock::clockSetBrief(widest, {back.move, clock::DateUse::NotBelievable});
    }

    void clockStatusFits()
    {
        QFETCH(QString, status);
        Harness h;
        QLabel label(h.form.get()); // as Label1 is
        label.setGeometry(h.form->Label1->geometry());
        label.setWordWrap(true);
        bool pending = false;
        clock::ClockSync sync(*h.clock, pending);
        StatusLine line(&label, *h.form, *h.serial, sync);
        line.hold({status, {}});
        QVERIFY2(statusNotWhole(label, h.form->font()).isEmpty(),
                 qPrintable(statusNotWhole(label, h.form->font())));
    }

    // Every message can be read whole: one too long for the label is cut
    // short there, with the whole in its tooltip and accessible description;
    // Ctrl+M, or the label's menu, lists the session's messages with their
    // times, and copies the one shown.
    void messagesReadWhole()
    {
        Harness h;
        h.form->show();
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        h.form->storeSample(4807.038, -1131.000, 545.4);
        h.form->CalcPos_Click();
        QTemporaryDir dir;
        const QString name = QString(90, 'n') + ".gpx";
        QVERIFY(h.form->saveMean(dir.filePath(name), "Mark"));
        QLabel *line = h.form->Label1;
        const QString whole = "Saved to " + QDir::toNativeSeparators(dir.filePath(name)) + ".";
        QVERIFY2(line->text().endsWith(u'\u2026') && line->text().count('\n') == 1, qPrintable(line->text()));
        QCOMPARE(line->accessibleName(), "Saved to " + name + ".");
        QCOMPARE(line->toolTip(), whole);
        QCOMPARE(line->accessibleDescription(), whole);

        QCOMPARE(line->contextMenuPolicy(), Qt::ActionsContextMenu);
        QCOMPARE(line->actions().size(), 2);
        line->actions().first()->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), whole);
        QCOMPARE(line->actions().last()->shortcut(), QKeySequence("Ctrl+M"));
        QTest::keyClick(h.form->CalcPos, Qt::Key_M, Qt::ControlModifier);
        auto *messages = h.form->findChild<MessagesWindow *>();
        QVERIFY(messages && QTest::qWaitForWindowActive(messages));
        const QStringList listed = messages->text().split('\n');
        QCOMPARE(listed.size(), 3); // the greeting, the mean, the file
        QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d  GPS Quorvel \\d+\\.\\d+ \u00b7 NMEA 0183$")
                     .match(listed[0])
                     .hasMatch(),
                 qPrintable(listed[0]));
        QVERIFY2(
            listed[1].endsWith("  1 fix; CEP50 0.00 m, CEP95 0.00 m; too short to tell how good the mean is"),
            qPrintable(listed[1]));
        QVERIFY2(listed.last().endsWith("  " + whole), qPrintable(listed.last()));
        // A message shown while the window is open is added to it.
        h.form->StartStop_Click();
        QVERIFY2(messages->text().endsWith("  Point 1: 1 fix in 0 s."), qPrintable(messages->text()));
        QTest::keyClick(messages->findChild<QPlainTextEdit *>(), Qt::Key_Escape);
        QTRY_VERIFY(!h.form->findChild<MessagesWindow *>());
    }

    void clockRefusalIsShown()
    {
        Harness h;
        h.clock->holdAnswers = true;
        h.form->SyncClock_Click();
        h.serial->receive(Fix);
        Q_EMIT h.clock->refused("automatic time synchronization is enabled");
        QCOMPARE(h.notices(), QStringList{"automatic time synchronization is enabled"});
    }

    void settingsThatCannotBeSaved()
    {
        Harness h;
        h.settings.readOnly = true;
        h.form->Option2->click();
        h.form->UTCOffset_LostFocus();
        QCOMPARE(h.notices().size(), 1);
        QVERIFY2(h.notices().first().startsWith(
                     "The settings could not be saved to memory: No space left on device."),
                 qPrintable(h.notices().first()));
        QCOMPARE(h.serial->CommPort(), 2); // goes on with the value in effect

        // A delay measured every ten seconds that cannot be saved is not told
        // again, and is used all the same.
        for (QMessageBox *box : h.form->findChildren<QMessageBox *>())
            box->close();
        h.clock->synchronized = true;
        h.form->StartStop_Click();
        using namespace std::chrono;
        const auto start = floor<seconds>(clock::pcUtcNow()) - seconds(40);
        for (int i = 0; i <= 33; ++i) {
            const auto second = start + seconds(i);
            h.serial->burstEpoch = second + milliseconds(150);
            const QTime time
                = QDateTime::fromSecsSinceEpoch(duration_cast<seconds>(second.time_since_epoch()).count(),
                                                QTimeZone::utc())
                      .time();
            h.serial->receive("$GPRMC," + time.toString("hhmmss").toLatin1()
                              + ".00,A,4807.038,N,01131.000,E,0.0,0.0,071226,,,A\r\n");
            QCOMPARE(h.notices(), QStringList{});
        }
        QCOMPARE(h.settings.writes.filter("/dev/ttyS1=150").size(), 3); // tried at each measurement
        h.serial->burstEpoch.reset();
        h.form->SyncClock_Click();
        h.serial->receive(Fix);
        QVERIFY2(h.form->Label1->toolTip().contains("receiver delay 150 ms"),
                 qPrintable(h.form->Label1->toolTip()));
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
