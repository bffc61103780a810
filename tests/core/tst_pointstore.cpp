// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "files/pointstore.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <limits>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

using namespace quorvel::files;

namespace {

KeptPoint point(int number, const QString &name, qint64 msSinceEpoch, double latitude)
{
    KeptPoint kept;
    kept.number = number;
    kept.point.name = name;
    kept.point.time = QDateTime::fromMSecsSinceEpoch(msSinceEpoch, QTimeZone::utc());
    kept.point.latitude = latitude;
    kept.point.longitude = -179.99999999; // west of the antimeridian
    kept.point.elevation = 545.4;
    kept.point.spread.count = 340;
    kept.point.spread.spanSeconds = 340;
    kept.point.spread.cep95 = 0.1 + 0.2; // no short decimal: read back exactly all the same
    return kept;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

void write(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class TestPointStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What is kept is read back as it was after a restart, in its folder
    // made on the way; a mean saved again under another name replaces its
    // line rather than adding one; clearing empties the file.
    void roundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Quorvel/points.jsonl");
        KeptPoint first = point(1, "Stone \"4\", \u00e9t\u00e9\nnorth", 1'777'000'000'123, 48.117300001);
        first.point.geoidSeparation = 46.9;
        first.point.spread.mean.horizontal95 = 0.84;
        const KeptPoint second = point(2, "Point 2, 09:12:30", 1'777'000'600'000, -33.8688);
        {
            PointStore store(path);
            QVERIFY(store.problems().isEmpty());
            QVERIFY(store.keep(first));
            QVERIFY(store.keep(second));
            first.point.name = "Stone 4";
            QVERIFY(store.keep(first));
        }
        PointStore again(path);
        QCOMPARE(again.points().size(), 2);
        QCOMPARE(again.nextNumber(), 3);
        for (const auto &[read, kept] :
             {std::pair{again.points()[0], first}, std::pair{again.points()[1], second}}) {
            QCOMPARE(read.number, kept.number);
            QCOMPARE(read.point.name, kept.point.name);
            QCOMPARE(read.point.time, kept.point.time);
            QCOMPARE(read.point.latitude, kept.point.latitude);
            QCOMPARE(read.point.longitude, kept.point.longitude);
            QCOMPARE(read.point.geoidSeparation, kept.point.geoidSeparation);
            QCOMPARE(read.point.spread.cep95, kept.point.spread.cep95);
            QCOMPARE(read.point.spread.spanSeconds, kept.point.spread.spanSeconds);
            QCOMPARE(read.point.spread.mean.horizontal95, kept.point.spread.mean.horizontal95);
        }
        QVERIFY(again.clear());
        QCOMPARE(contentOf(path), QByteArray());
    }

    // A torn last line (a crash while another program wrote, a copy cut
    // short) and a line mistyped by hand are told, left out and kept as
    // they are; the points after them stay apart from them. A file that
    // cannot be read is told and never written over.
    void damagedFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("points.jsonl");
        const QByteArray good = keptPointLine(point(1, "A", 1'777'000'000'000, 48.1));
        const QByteArray torn = good.left(good.size() / 2);
        write(path, good + "\r\nnot a point\n" + torn);
        PointStore store(path);
        QCOMPARE(store.points().size(), 1);
        QVERIFY2(store.problems().contains("Lines 2, 3 of"), qPrintable(store.problems()));
        QVERIFY(store.keep(point(2, "B", 1'777'000'600'000, 48.2)));
        const QByteArray added = keptPointLine(point(2, "B", 1'777'000'600'000, 48.2));
        QCOMPARE(contentOf(path), good + "\r\nnot a point\n" + torn + "\n" + added + "\n");
        QVERIFY(store.clear());
        QCOMPARE(contentOf(path), "not a point\n" + torn + "\n");

        // A number edited up to the highest an int holds is no point: the
        // point after it would have no number.
        const QByteArray highest
            = keptPointLine(point(std::numeric_limits<int>::max(), "C", 1'777'000'000'000, 48.1));
        write(path, highest + "\n");
        PointStore edited(path);
        QVERIFY2(edited.problems().contains("Line 1 of"), qPrintable(edited.problems()));
        QCOMPARE(edited.nextNumber(), 1);

        // Hundreds of lines that are no point are counted, not all named.
        write(path,
              good + "\n" + QByteArray("not a point\n").repeated(500)
                  + keptPointLine(point(3, "negative", 1'777'000'000'000, 48.1))
                        .replace("\"fixes\":340", "\"fixes\":-5"));
        PointStore hostile(path);
        QCOMPARE(hostile.points().size(), 1);
        QVERIFY2(hostile.problems().contains("Lines 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 and 491 more of"),
                 qPrintable(hostile.problems()));

        QVERIFY(QDir(dir.path()).mkdir("folder.jsonl"));
        PointStore folder(dir.filePath("folder.jsonl"));
        QVERIFY(!folder.storing());
        QVERIFY2(folder.problems().contains("cannot be read"), qPrintable(folder.problems()));
        QVERIFY(!folder.keep(point(1, "A", 1'777'000'000'000, 48.1)));
        QCOMPARE(folder.points().size(), 1); // for this session
        QVERIFY(QFileInfo(dir.filePath("folder.jsonl")).isDir());

        // A file that cannot take the new content (not a byte may be
        // written: root passes every permission) stays as it was.
        {
            write(path, good + "\n");
            PointStore full(path);
            rlimit before{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
            const rlimit none{0, before.rlim_max};
            const auto sigxfsz = std::signal(SIGXFSZ, SIG_IGN);
            bool kept = false;
            {
                const auto restore = qScopeGuard([&] {
                    setrlimit(RLIMIT_FSIZE, &before);
                    std::signal(SIGXFSZ, sigxfsz);
                });
                QCOMPARE(setrlimit(RLIMIT_FSIZE, &none), 0);
                kept = full.keep(point(2, "B", 1'777'000'600'000, 48.2));
            }
            QVERIFY(!kept);
            QCOMPARE(contentOf(path), good + "\n");
        }

        // A named pipe is never opened: reading it would wait for a writer for good.
        QCOMPARE(mkfifo(QFile::encodeName(dir.filePath("pipe.jsonl")).constData(), 0600), 0);
        PointStore pipe(dir.filePath("pipe.jsonl"));
        QVERIFY2(pipe.problems().contains("not a file"), qPrintable(pipe.problems()));
    }
};

QTEST_GUILESS_MAIN(TestPointStore)
#include "tst_pointstore.moc"
