// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "nmea/lineassembly.h"

#include <QTest>

using quorvel::nmea::assembleLines;
using quorvel::nmea::MaxLineLength;

namespace {

// Feeds the batches in order and returns the lines handed over, then "|" and
// what is left as the partial line.
QStringList assemble(QString &line, const QList<QByteArray> &batches)
{
    QStringList lines;
    for (const QByteArray &batch : batches)
        assembleLines(line, batch, [&lines](const QString &complete) { lines << complete; });
    return lines;
}

} // namespace

class TestLineAssembly : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void terminators_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected"); // lines handed over, then the partial line

        QTest::newRow("CR LF gives the line, then an empty one")
            << QByteArray("$GPGGA,1\r\n$GP") << QStringList{"$GPGGA,1", "", "$GP"};
        QTest::newRow("space stays in the line") << QByteArray("a b\r") << QStringList{"a b", ""};
        QTest::newRow("tab, escape and NUL end a line") << QByteArray("a\tb\x1b"
                                                                      "c",
                                                                      5)
                                                               .append('\0')
                                                               .append("d")
                                                        << QStringList{"a", "b", "c", "d"};
        QTest::newRow("DEL and high bytes are line characters")
            << QByteArray("a\x7f\xb5\xff\n") << QStringList{QString::fromLatin1("a\x7f\xb5\xff"), ""};
        QTest::newRow("no terminator") << QByteArray("$GPGGA,12") << QStringList{"$GPGGA,12"};
    }

    void terminators()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        QString line;
        QStringList got = assemble(line, {bytes});
        got << line;
        QCOMPARE(got, expected);
    }

    // However the stream is cut into batches, the same lines come out.
    void splitAtEveryByte()
    {
        const QByteArray stream
            = "xx\r\n$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,*47\r\n$GPGSA,A\r\n$GP";
        QString whole;
        const QStringList expected = assemble(whole, {stream});
        for (int cut = 0; cut <= stream.size(); ++cut) {
            QString line;
            QCOMPARE(assemble(line, {stream.left(cut), stream.mid(cut)}), expected);
            QCOMPARE(line, whole);
        }
    }

    void partialLineSurvivesBatches()
    {
        QString line = QStringLiteral("typed ");
        QCOMPARE(assemble(line, {"$GPG", "GA,1", "\r"}), QStringList{"typed $GPGGA,1"});
        QVERIFY(line.isEmpty());
    }

    void cap_data()
    {
        QTest::addColumn<int>("partial"); // characters already in the line
        QTest::addColumn<int>("incoming"); // line characters in the batch

        QTest::newRow("reaches the cap exactly") << 1000 << 24;
        QTest::newRow("one past the cap drops the oldest") << 1000 << 25;
        QTest::newRow("a run of many caps") << 0 << 3 * 1024 + 7;
        QTest::newRow("full line, one more") << 1024 << 1;
        QTest::newRow("pasted far beyond the cap, then a little") << 2000 << 3;
        QTest::newRow("pasted beyond the cap, then a long run") << 1500 << 1100;
    }

    // The line keeps its last MaxLineLength characters, whatever it started with.
    void cap()
    {
        QFETCH(int, partial);
        QFETCH(int, incoming);
        QString line;
        for (int i = 0; i < partial; ++i)
            line += QLatin1Char(char('a' + i % 26));
        QByteArray batch;
        for (int i = 0; i < incoming; ++i)
            batch += char('A' + i % 26);
        const QString expected = (line + QString::fromLatin1(batch)).right(MaxLineLength);
        QVERIFY(assemble(line, {batch}).isEmpty());
        QCOMPARE(line, expected);
    }

    void sentenceBehindLongNoiseSurvives()
    {
        const QByteArray fix = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
        QString line;
        const QStringList lines = assemble(line, {QByteArray(1000, 'x') + fix + "\r\n"});
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.first().endsWith(QString::fromLatin1(fix)));
    }
};

QTEST_GUILESS_MAIN(TestLineAssembly)
#include "tst_lineassembly.moc"
