// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// How well the window tells, and keeps, the PC's clock against GPS time. The
// PC's clock is this program's own: libfaketime (preloaded; the program
// starts itself again under it) makes it run 50 ppm fast, from an offset in
// a file. The time service is a mocked timedated on a private bus, whose
// SetTime adds the move to that file, so a move by the window moves its own
// clock and nothing else. The receiver is tools/nmeasim on this machine's
// real clock, which is the truth; the PC's true offset is the faked clock
// less the real one (read by a system call that libfaketime does not see).
//
//   bench_clock_keep NMEASIM [MINUTES] [--no-keep] [--rate BITS] [--delay-ms N] [--start-ms N]
//
// Runs in real time (120 minutes unless told): speeding both clocks up would
// speed up the pseudo-terminal and the program's wakeups alike, and their
// latency, which is what limits the live offset, would no longer be the
// real one. Run it without the right to set the clock
// (tests/clock/without-cap-sys-time.sh bench_clock_keep ...).

#include "app/clockwatch.h"
#include "app/form1.h"
#include "clock/clockkeeper.h"
#include "clock/clocksync.h"
#include "clock/timedatedclock.h"
#include "link/mscomm.h"
#include "link/systemsources.h"
#include "settings/inisettingsstore.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace quorvel;

namespace {

constexpr const char *Rate = "x1.00005"; // 50 ppm fast
const QString Service = QStringLiteral("org.freedesktop.timedate1");
const QString Path = QStringLiteral("/org/freedesktop/timedate1");

bool maySetTheTime()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("CapEff:"))
            return line.mid(7).trimmed().toULongLong(nullptr, 16) & (1ULL << CAP_SYS_TIME);
    }
    return true;
}

double seconds(const timespec &t)
{
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// This process's clock, as faked, less the real one, in milliseconds: read
// between two real readings, again where the process was held up between
// them (a busy machine), which would add the delay to the figure.
double trueOffsetMs()
{
    for (int tries = 0;; ++tries) {
        timespec before{}, faked{}, after{};
        syscall(SYS_clock_gettime, CLOCK_REALTIME, &before);
        clock_gettime(CLOCK_REALTIME, &faked);
        syscall(SYS_clock_gettime, CLOCK_REALTIME, &after);
        if (seconds(after) - seconds(before) < 0.0005 || tries == 20)
            return (seconds(faked) - (seconds(before) + seconds(after)) / 2) * 1000;
    }
}

// The children run on the real clock.
QProcessEnvironment realClock()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name :
         {"LD_PRELOAD", "FAKETIME_TIMESTAMP_FILE", "FAKETIME_NO_CACHE", "DONT_FAKE_MONOTONIC"})
        env.remove(QString::fromLatin1(name));
    return env;
}

void stop(QProcess &process)
{
    process.terminate();
    if (!process.waitForFinished(3000))
        process.kill();
    process.waitForFinished();
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

QString faketimeLibrary()
{
    const QString given = qEnvironmentVariable("FAKETIME_LIB");
    if (!given.isEmpty())
        return given;
    for (const char *path :
         {"/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1",
          "/usr/lib/aarch64-linux-gnu/faketime/libfaketimeMT.so.1", "/usr/lib/faketime/libfaketimeMT.so.1"}) {
        if (QFile::exists(QString::fromLatin1(path)))
            return QString::fromLatin1(path);
    }
    return {};
}

int usage()
{
    std::fprintf(stderr,
                 "usage: bench_clock_keep NMEASIM [MINUTES] [--no-keep] [--rate BITS] [--delay-ms N] "
                 "[--start-ms N]\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2)
        return usage();
    if (maySetTheTime()) {
        std::fprintf(stderr,
                     "bench_clock_keep must run without CAP_SYS_TIME: "
                     "tests/clock/without-cap-sys-time.sh bench_clock_keep ...\n");
        return 1;
    }
    // Start again under libfaketime, with a clock file of our own.
    if (qEnvironmentVariableIsEmpty("FAKETIME_TIMESTAMP_FILE")) {
        const QString library = faketimeLibrary();
        if (library.isEmpty()) {
            std::fprintf(stderr, "libfaketime is not installed (apt-get install faketime)\n");
            return 1;
        }
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("clock"));
        QFile clock(file);
        if (!clock.open(QIODevice::WriteOnly))
            return 1;
        double startMs = 0;
        for (int i = 2; i + 1 < argc; ++i) {
            if (QByteArray(argv[i]) == "--start-ms")
                startMs = std::atof(argv[i + 1]);
        }
        clock.write(QString::asprintf("%+.6f %s\n", startMs / 1000, Rate).toLatin1());
        clock.close();
        qputenv("LD_PRELOAD", library.toLocal8Bit());
        qputenv("FAKETIME_TIMESTAMP_FILE", file.toLocal8Bit());
        qputenv("FAKETIME_NO_CACHE", "1"); // a move counts at once
        qputenv("DONT_FAKE_MONOTONIC", "1"); // timers, and the step seen, on the real monotonic clock
        QProcess self;
        self.setProcessChannelMode(QProcess::ForwardedChannels);
        QStringList args;
        for (int i = 1; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        self.start(QString::fromLocal8Bit(argv[0]), args);
        self.waitForFinished(-1);
        return self.exitCode();
    }

    qputenv("TZ", "UTC");
    QApplication app(argc, argv);
    const QString nmeasim = QString::fromLocal8Bit(argv[1]);
    double minutes = 120;
    bool keep = true;
    int rate = 4800, delayMs = 150;
    for (int i = 2; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--no-keep")
            keep = false;
        else if (arg == "--rate" && i + 1 < argc)
            rate = std::atoi(argv[++i]);
        else if (arg == "--delay-ms" && i + 1 < argc)
            delayMs = std::atoi(argv[++i]);
        else if (arg == "--start-ms" && i + 1 < argc)
            ++i; // taken before the start under libfaketime
        else if (arg.toDouble() > 0)
            minutes = arg.toDouble();
        else
            return usage();
    }
    const QString clockFile = qEnvironmentVariable("FAKETIME_TIMESTAMP_FILE");

    // A private bus, and the mocked timedated on it: its SetTime moves this
    // program's clock by rewriting the file, at once.
    QProcess bus;
    bus.setProcessEnvironment(realClock());
    bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
    if (!bus.waitForReadyRead(5000)) {
        std::fprintf(stderr, "dbus-daemon did not start\n");
        return 1;
    }
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus.readLine().trimmed());
    QProcess mock;
    mock.setProcessEnvironment(realClock());
    mock.start(QStringLiteral("/usr/bin/python3"), {"-m", "dbusmock", "--system", "-t", "timedated"});
    QDBusConnection system = QDBusConnection::systemBus();
    for (int i = 0; i < 100 && !system.interface()->isServiceRegistered(Service); ++i)
        QThread::msleep(50);
    if (!system.interface()->isServiceRegistered(Service)) {
        std::fprintf(stderr, "the mocked timedated did not start (python3-dbusmock)\n");
        return 1;
    }
    const QString setTime = QStringLiteral("import os\n"
                                           "if not args[1]: raise ValueError('only relative moves')\n"
                                           "f = '%1'\n"
                                           "offset, rate = open(f).read().split()\n"
                                           "open(f + '.new', 'w').write('%+.6f %s\\n' % (float(offset) + "
                                           "args[0] / 1e6, rate))\n"
                                           "os.rename(f + '.new', f)\n")
                                .arg(clockFile);
    QDBusMessage add
        = QDBusMessage::createMethodCall(Service, Path, "org.freedesktop.DBus.Mock", "AddMethod");
    add << Service << "SetTime"
        << "xbb"
        << "" << setTime;
    for (const QDBusMessage &call : {add}) {
        const QDBusMessage reply = system.call(call);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            std::fprintf(stderr, "mock: %s\n", qPrintable(reply.errorMessage()));
            return 1;
        }
    }
    // No network time: nothing else holds the clock.
    for (const char *property : {"NTP", "NTPSynchronized"}) {
        QDBusMessage set
            = QDBusMessage::createMethodCall(Service, Path, "org.freedesktop.DBus.Properties", "Set");
        set << Service << QString::fromLatin1(property) << QVariant::fromValue(QDBusVariant(false));
        system.call(set);
    }

    QProcess simulator;
    simulator.setProcessEnvironment(realClock());
    simulator.start(nmeasim, {"--rate", QString::number(rate), "--delay-ms", QString::number(delayMs)});
    if (!simulator.waitForReadyRead(5000)) {
        std::fprintf(stderr, "nmeasim did not start\n");
        return 1;
    }
    const QString device = QString::fromLocal8Bit(simulator.readLine()).trimmed();

    QTemporaryDir config;
    settings::IniSettingsStore store(config.path());
    store.writeSetting("Quorvel", "Ports", "COM1", QStringLiteral("%1@%2").arg(device).arg(rate));
    store.writeSetting("Quorvel", "Main", "UTCOffset", "0");
    store.writeSetting("Quorvel", "Clock", "ReceiverDelayMs", QString::number(delayMs));
    store.writeSetting("Quorvel", "Clock", "Keep", keep ? "true" : "false");
    Form1 form(std::make_unique<link::MSComm>(store, QStringLiteral("Quorvel"),
                                              std::make_unique<link::SystemSources>()),
               store, std::make_unique<clock::TimedatedClock>());
    form.Form_Load();
    if (!keep)
        form.StartStop_Click(); // the port open, the clock left to drift
    form.show();

    auto *watch = form.findChild<ClockWatch *>();
    auto *sync = form.findChild<clock::ClockSync *>();
    int moves = 0;
    double largest = 0, largestKept = 0;
    bool settled = false; // the first move of a kept clock made
    std::vector<double> errors;
    // While a move is under way, and for the burst after it, the truth read
    // now may be of the moved clock while the burst was of the clock before.
    bool moving = false, justMoved = false;
    QObject::connect(&watch->keeper(), &clock::ClockKeeper::moving, [&] { moving = true; });
    QObject::connect(&watch->keeper(), &clock::ClockKeeper::answered, [&](const QString &status) {
        moving = false;
        justMoved = true;
        if (status.contains(QStringLiteral("moved"))) {
            ++moves;
            settled = true;
        }
    });
    // After the window has taken the burst.
    QObject::connect(sync, &clock::ClockSync::timed, [&] {
        const double truth = trueOffsetMs();
        largest = std::max(largest, std::abs(truth));
        if (settled || !keep)
            largestKept = std::max(largestKept, std::abs(truth));
        if (moving || std::exchange(justMoved, false))
            return;
        if (const auto estimate = watch->offset().estimate()) {
            const double shown = std::chrono::duration<double, std::milli>(estimate->offset).count();
            errors.push_back(shown - truth);
        }
    });
    QTimer::singleShot(std::chrono::milliseconds(qint64(minutes * 60'000)), &app, &QApplication::quit);
    QTimer progress;
    progress.setInterval(std::chrono::minutes(10));
    QObject::connect(&progress, &QTimer::timeout, [&] {
        std::fprintf(stderr, "  ... %zu bursts, %d moves, true offset now %+.1f ms\n", errors.size(), moves,
                     trueOffsetMs());
    });
    progress.start();
    app.exec();

    std::vector<double> sizes;
    for (double e : errors)
        sizes.push_back(std::abs(e));
    const std::optional<clock::ClockOffset::Drift> drift = watch->offset().drift();
    std::printf("%s, %.0f min, %d bit/s, receiver delay %d ms, PC clock 50 ppm fast:\n",
                keep ? "kept within 50 ms" : "not kept", minutes, rate, delayMs);
    std::printf("  largest true offset %.1f ms%s; %d moves (%.1f an hour)\n", largest,
                keep ? qPrintable(QStringLiteral(" (%1 ms after the first move)").arg(largestKept, 0, 'f', 1))
                     : "",
                moves, moves / (minutes / 60));
    std::printf("  live offset against the truth (%zu bursts): median %+.2f ms, 95 %% within %.2f ms, "
                "worst %.2f ms, %.1f %% within 5 ms\n",
                errors.size(), percentile(errors, 0.5), percentile(sizes, 0.95), percentile(sizes, 1.0),
                100.0 * double(std::count_if(sizes.begin(), sizes.end(), [](double e) { return e <= 5; }))
                    / double(std::max<std::size_t>(1, sizes.size())));
    if (drift)
        std::printf("  drift found %+.2f ppm (+/- %.2f), truth +50 ppm\n", drift->ppm, drift->plusMinusPpm);
    std::fflush(stdout);
    stop(simulator);
    stop(mock);
    stop(bus);
    return 0;
}
