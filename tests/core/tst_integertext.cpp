// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/integertext.h"
#include "settings/utcoffset.h"

#include <QTest>

using quorvel::settings::textToInteger;

class TestIntegerText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void convert_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<int>("expected"); // 99999 for "cannot be converted"

        const int invalid = 99999;
        QTest::newRow("plain") << "5"
                               << "." << 5;
        QTest::newRow("plus sign") << "+5"
                                   << "." << 5;
        QTest::newRow("leading zero") << "05"
                                      << "." << 5;
        QTest::newRow("blanks around") << " \t5 "
                                       << "." << 5;
        QTest::newRow("negative") << "-12"
                                  << "." << -12;
        QTest::newRow("half to even, down") << "4.5"
                                            << "." << 4;
        QTest::newRow("half to even, up") << "5.5"
                                          << "." << 6;
        QTest::newRow("negative half") << "-12.5"
                                       << "." << -12;
        QTest::newRow("just above half") << "12.5000001"
                                         << "." << 13;
        QTest::newRow("12.6 rounds up") << "12.6"
                                        << "." << 13;
        QTest::newRow("comma locale") << "12,5"
                                      << "," << 12;
        QTest::newRow("fraction only") << ".7"
                                       << "." << 1;
        QTest::newRow("lowest") << "-32768"
                                << "." << -32768;
        QTest::newRow("highest") << "32767.4"
                                 << "." << 32767;
        QTest::newRow("rounds out of range") << "32767.5"
                                             << "." << invalid;
        QTest::newRow("out of range") << "40000"
                                      << "." << invalid;
        QTest::newRow("very long") << "99999999999999999999999"
                                   << "." << invalid;
        QTest::newRow("empty") << ""
                               << "." << invalid;
        QTest::newRow("blank") << "  "
                               << "." << invalid;
        QTest::newRow("sign alone") << "-"
                                    << "." << invalid;
        QTest::newRow("letters") << "abc"
                                 << "." << invalid;
        QTest::newRow("trailing letter") << "5h"
                                         << "." << invalid;
        QTest::newRow("wrong separator") << "12.5"
                                         << "," << invalid;
        QTest::newRow("blank inside") << "1 2"
                                      << "." << invalid;
    }

    void convert()
    {
        QFETCH(QString, text);
        QFETCH(QString, separator);
        QFETCH(int, expected);
        const std::optional<std::int16_t> value = textToInteger(text.toStdString(), separator.toStdString());
        QCOMPARE(value ? int(*value) : 99999, expected);
    }

    // The UTC offset box: whole hours as before, or hours and quarter hours.
    void utcOffset_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("minutes"); // 99999 for "refused"
        QTest::addColumn<QString>("stored");

        const int refused = 99999;
        QTest::newRow("whole hours") << "5" << 300 << "5";
        QTest::newRow("whole hours behind") << "-3" << -180 << "-3";
        QTest::newRow("plus sign, beyond 12") << "+13" << 780 << "13";
        QTest::newRow("Integer text rounding, as before") << "12.5" << 720 << "12";
        QTest::newRow("India") << "5:30" << 330 << "5:30";
        QTest::newRow("Newfoundland") << "-3:30" << -210 << "-3:30";
        QTest::newRow("Nepal") << "5:45" << 345 << "5:45";
        QTest::newRow("Chatham") << "+12:45" << 765 << "12:45";
        QTest::newRow("blanks around") << " 9:30 " << 570 << "9:30";
        QTest::newRow("h:00 is stored as hours") << "-4:00" << -240 << "-4";
        QTest::newRow("half an hour behind") << "-0:30" << -30 << "-0:30";
        QTest::newRow("lowest") << "-12:00" << -720 << "-12";
        QTest::newRow("highest") << "14" << 840 << "14";
        QTest::newRow("beyond +14") << "14:15" << refused << "";
        QTest::newRow("beyond -12") << "-13" << refused << "";
        QTest::newRow("minutes not a quarter") << "5:20" << refused << "";
        QTest::newRow("one minute digit") << "5:3" << refused << "";
        QTest::newRow("sixty minutes") << "5:60" << refused << "";
        QTest::newRow("text") << "five" << refused << "";
        QTest::newRow("no hours") << ":30" << refused << "";
        QTest::newRow("two colons") << "5:30:00" << refused << "";
    }

    void utcOffset()
    {
        QFETCH(QString, typed);
        QFETCH(int, minutes);
        QFETCH(QString, stored);
        const std::optional<int> parsed = quorvel::settings::parseUtcOffset(typed.toStdString(), ".");
        QCOMPARE(parsed.value_or(99999), minutes);
        if (parsed)
            QCOMPARE(QString::fromStdString(quorvel::settings::utcOffsetText(*parsed)), stored);
    }
};

QTEST_GUILESS_MAIN(TestIntegerText)
#include "tst_integertext.moc"
