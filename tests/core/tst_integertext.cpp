// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/integertext.h"

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
};

QTEST_GUILESS_MAIN(TestIntegerText)
#include "tst_integertext.moc"
