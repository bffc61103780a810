// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The settings file as a user edits it by hand: a write changes the line of
// its key and nothing else, a value is read back as exactly its text, and
// the file is read again only when it changed.

#include "settings/inisettingsstore.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>

using quorvel::settings::IniSettingsStore;

class TestIniSettingsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("problem"); // a line number the store reports, or empty
        QTest::addColumn<bool>("stored"); // false: the write is refused and the file stays

        QTest::newRow("comment and a line without = are kept")
            << QByteArray("# my receivers\n[Ports]\nCOM2 /dev/ttyUSB0\nCOM1=/dev/ttyUSB1\n\n[Main]\nPort=1\n")
            << "Main"
            << "Port"
            << "2"
            << QByteArray("# my receivers\n[Ports]\nCOM2 /dev/ttyUSB0\nCOM1=/dev/ttyUSB1\n\n[Main]\nPort=2\n")
            << "Line 3 " << true;
        QTest::newRow("a device path with a comma is one value")
            << QByteArray() << "Ports"
            << "COM1"
            << "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1,2:1.0-port0"
            << QByteArray("[Ports]\nCOM1=/dev/serial/by-path/pci-0000:00:14.0-usb-0:1,2:1.0-port0\n") << ""
            << true;
        QTest::newRow("a new key joins its section")
            << QByteArray("[Main]\nPort=1\n\n[Ports]\nCOM1=/dev/x\n") << "Main"
            << "UTCOffset"
            << "-5" << QByteArray("[Main]\nPort=1\nUTCOffset=-5\n\n[Ports]\nCOM1=/dev/x\n") << "" << true;
        QTest::newRow("a new section goes at the end")
            << QByteArray("; made by hand\n[Main]\nPort=1\nFuture=kept\n") << "Ports"
            << "COM1"
            << "/dev/a" << QByteArray("; made by hand\n[Main]\nPort=1\nFuture=kept\n\n[Ports]\nCOM1=/dev/a\n")
            << "" << true;
        QTest::newRow("CR LF line ends stay") << QByteArray("[Main]\r\nPort=1\r\n") << "Main"
                                              << "Port"
                                              << "3" << QByteArray("[Main]\r\nPort=3\r\n") << "" << true;
        QTest::newRow("no newline at the end stays so")
            << QByteArray("[Main]\nPort=1") << "Main"
            << "UTCOffset"
            << "2" << QByteArray("[Main]\nPort=1\nUTCOffset=2") << "" << true;
        QTest::newRow("binary junk is kept and reported")
            << QByteArray("[Main]\nPort=1\n\x01\xff\xfe junk\n") << "Main"
            << "Port"
            << "4" << QByteArray("[Main]\nPort=4\n\x01\xff\xfe junk\n") << "Line 3 " << true;
        QTest::newRow("blanks around a value are kept in quotes")
            << QByteArray() << "Ports"
            << "COM1"
            << " /dev/ttyUSB0" << QByteArray("[Ports]\nCOM1=\" /dev/ttyUSB0\"\n") << "" << true;
        QTest::newRow("a value in quotes keeps them")
            << QByteArray() << "Ports"
            << "COM1"
            << "\"quoted\"" << QByteArray("[Ports]\nCOM1=\"\"quoted\"\"\n") << "" << true;
        QTest::newRow("a device path with = as a key")
            << QByteArray("[Rates]\n") << "Rates"
            << "/dev/serial/by-id/usb-GPS_a=b\\x20\"c\""
            << "9600" << QByteArray("[Rates]\n\"/dev/serial/by-id/usb-GPS_a=b\\\\x20\\\"c\\\"\"=9600\n") << ""
            << true;
        QTest::newRow("a key like a section header")
            << QByteArray() << "Rates"
            << "[x"
            << "]" << QByteArray("[Rates]\n\"[x\"=]\n") << "" << true;
        QTest::newRow("a pasted section is refused")
            << QByteArray("[Main]\nPort=1\n") << "Ports"
            << "COM1"
            << "/dev/ttyUSB0\n[Main]\nPort=4" << QByteArray("[Main]\nPort=1\n") << "" << false;
        QTest::newRow("a terminal's colour code is refused")
            << QByteArray("[Main]\nPort=1\n") << "Ports"
            << "COM1"
            << "/dev/ttyUSB0\x1b[0m" << QByteArray("[Main]\nPort=1\n") << "" << false;
    }

    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QFETCH(QString, problem);
        QFETCH(bool, stored);
        QTemporaryDir folder;
        IniSettingsStore store(folder.path());
        const QString path = store.location(QStringLiteral("Quorvel"));
        if (!before.isEmpty()) {
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(before);
        }
        const QString problems = store.problems(QStringLiteral("Quorvel"));
        QVERIFY2(problem.isEmpty() ? problems.isEmpty() : problems.startsWith(problem), qPrintable(problems));

        QCOMPARE(store.writeSetting(QStringLiteral("Quorvel"), section, key, value), stored);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), after);
        if (stored) {
            QCOMPARE(store.readSetting(QStringLiteral("Quorvel"), section, key, QStringLiteral("default")),
                     value);
            QCOMPARE(IniSettingsStore(folder.path())
                         .readSetting(QStringLiteral("Quorvel"), section, key, QStringLiteral("default")),
                     value);
        } else {
            QVERIFY(store.errorString().contains("control character"));
        }
    }

    void readsWhatOlderVersionsWrote()
    {
        QTemporaryDir folder;
        IniSettingsStore store(folder.path());
        const QString path = store.location(QStringLiteral("Quorvel"));
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Ports]\nCOM1=\" /dev/ttyUSB0 \"\n");
        file.close();
        QCOMPARE(
            store.readSetting(QStringLiteral("Quorvel"), QStringLiteral("Ports"), QStringLiteral("COM1"), {}),
            QStringLiteral(" /dev/ttyUSB0 "));
        QCOMPARE(store.readSetting(QStringLiteral("Quorvel"), QStringLiteral("Main"), QStringLiteral("Port"),
                                   QStringLiteral("1")),
                 QStringLiteral("1"));
    }

    // A directory in the file's place stands for any file that cannot be
    // read (as root, a file without permissions can still be read).
    void unreadableFileIsNotWrittenOver()
    {
        QTemporaryDir folder;
        IniSettingsStore store(folder.path());
        const QString path = store.location(QStringLiteral("Quorvel"));
        QVERIFY(QDir().mkpath(path));
        QVERIFY(store.problems(QStringLiteral("Quorvel")).startsWith(path + " could not be read: "));
        QCOMPARE(store.readSetting(QStringLiteral("Quorvel"), QStringLiteral("Main"), QStringLiteral("Port"),
                                   QStringLiteral("1")),
                 QStringLiteral("1"));
        QVERIFY(!store.writeSetting(QStringLiteral("Quorvel"), QStringLiteral("Main"), QStringLiteral("Port"),
                                    QStringLiteral("2")));
        QVERIFY2(store.errorString().startsWith("it could not be read"), qPrintable(store.errorString()));
        QVERIFY(QFileInfo(path).isDir());
    }

    void readsOnceUntilChanged_data()
    {
        QTest::addColumn<QString>("change"); // "replace", "edit" or "remove"
        QTest::addColumn<QString>("port"); // read after the change
        QTest::addColumn<int>("reads"); // of the file's content, in all

        QTest::newRow("replaced, as editors and this store do") << "replace"
                                                                << "3" << 2;
        QTest::newRow("edited in place") << "edit"
                                         << "12" << 2;
        QTest::newRow("removed") << "remove"
                                 << "default" << 1;
    }

    void readsOnceUntilChanged()
    {
        QFETCH(QString, change);
        QFETCH(QString, port);
        QFETCH(int, reads);
        QTemporaryDir folder;
        IniSettingsStore store(folder.path());
        const QString path = store.location(QStringLiteral("Quorvel"));
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        const auto read = [&store](const QString &section, const QString &key) {
            return store.readSetting(QStringLiteral("Quorvel"), section, key, QStringLiteral("default"));
        };
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Main]\nPort=1\n");
        file.close();
        for (int i = 0; i < 10; ++i)
            QCOMPARE(read(QStringLiteral("Main"), QStringLiteral("Port")), QStringLiteral("1"));
        QVERIFY(store.problems(QStringLiteral("Quorvel")).isEmpty());
        QCOMPARE(store.fileReads(), 1);

        if (change == "replace") {
            QSaveFile replacement(path);
            QVERIFY(replacement.open(QIODevice::WriteOnly));
            replacement.write("[Main]\nPort=3\n");
            QVERIFY(replacement.commit());
        } else if (change == "edit") {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("[Main]\nPort=12\n");
            file.close();
        } else {
            QVERIFY(file.remove());
        }
        QCOMPARE(read(QStringLiteral("Main"), QStringLiteral("Port")), port);
        QCOMPARE(read(QStringLiteral("Main"), QStringLiteral("Port")), port);
        QCOMPARE(store.fileReads(), reads);

        // What the store writes itself is known without reading it back.
        QVERIFY(store.writeSetting(QStringLiteral("Quorvel"), QStringLiteral("Ports"), QStringLiteral("COM1"),
                                   QStringLiteral("/dev/ttyUSB0")));
        QCOMPARE(read(QStringLiteral("Ports"), QStringLiteral("COM1")), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(read(QStringLiteral("Main"), QStringLiteral("Port")), port);
        QCOMPARE(store.fileReads(), reads);
    }
};

QTEST_GUILESS_MAIN(TestIniSettingsStore)
#include "tst_inisettingsstore.moc"
