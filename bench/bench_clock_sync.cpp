// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// How right Sync PC Clock sets the clock: the real window and serial control
// read the simulated receiver (tools/nmeasim) on a pseudo-terminal, which
// starts each epoch's burst a given delay after that instant of this
// machine's UTC clock. The clock is a stand-in that records the move asked
// for; with the stated receiver delay equal to the simulator's, the right
// move is none, so the move asked for is the error of that press.
//
//   bench_clock_sync NMEASIM [PRESSES]

#include "app/form1.h"
#include "link/mscomm.h"
#include "link/systemsources.h"
#include "settings/inisettingsstore.h"
#include "support/fakes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quorvel;

namespace {

struct Case
{
    int rate;
    int perSecond;
    int delayMs;
};

// The errors of `presses` presses, in milliseconds; empty if the simulator
// could not be started.
std::vector<double> run(const QString &nmeasim, const Case &c, int presses)
{
    QProcess simulator;
    simulator.start(nmeasim,
                    {"--rate", QString::number(c.rate), "--hz", QString::number(c.perSecond), "--delay-ms",
                     QString::number(c.delayMs)});
    if (!simulator.waitForReadyRead(5000))
        return {};
    const QString device = QString::fromLocal8Bit(simulator.readLine()).trimmed();

    QTemporaryDir config;
    settings::IniSettingsStore store(config.path());
    store.writeSetting("Quorvel", "Ports", "COM1", QStringLiteral("%1@%2").arg(device).arg(c.rate));
    store.writeSetting("Quorvel", "Main", "UTCOffset", "0"); // TZ=UTC
    store.writeSetting("Quorvel", "Clock", "ReceiverDelayMs", QString::number(c.delayMs));
    auto ownedClock = std::make_unique<test::FakeClock>();
    test::FakeClock *clock = ownedClock.get();
    Form1 form(std::make_unique<link::MSComm>(store, QStringLiteral("Quorvel"),
                                              std::make_unique<link::SystemSources>()),
               store, std::move(ownedClock));
    form.Form_Load();
    form.show();
    // The simulator's first epochs have no fix.
    QTest::qWait(3500);

    std::vector<double> errors;
    for (int press = 0; press < presses; ++press) {
        // At any moment of the second.
        QTest::qWait(200 + int(QRandomGenerator::global()->bounded(1000)));
        form.SyncClock->click();
        QElapsedTimer waited;
        waited.start();
        while (clock->moves.size() <= press && waited.elapsed() < 5000)
            QTest::qWait(1);
        if (clock->moves.size() <= press)
            break;
        errors.push_back(double(clock->moves.last().count()) / 1000);
    }
    simulator.terminate();
    simulator.waitForFinished(3000);
    return errors;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("TZ", "UTC");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_clock_sync NMEASIM [PRESSES]\n");
        return 2;
    }
    const QString nmeasim = QString::fromLocal8Bit(argv[1]);
    const int presses = argc > 2 ? std::atoi(argv[2]) : 20;
    std::printf("| Bit rate | Epochs/s | Receiver delay | Median error | Worst error |\n"
                "|---|---|---|---|---|\n");
    for (const int rate : {4800, 9600, 115200}) {
        for (const int perSecond : {1, 10}) {
            for (const int delayMs : {0, 150}) {
                if (rate == 4800 && perSecond == 10) {
                    std::printf(
                        "| %d | %d | %d ms | - | - (a GGA sentence alone takes 150 ms at 4,800 bit/s) |\n",
                        rate, perSecond, delayMs);
                    continue;
                }
                std::vector<double> errors = run(nmeasim, {rate, perSecond, delayMs}, presses);
                if (errors.empty()) {
                    std::printf("| %d | %d | %d ms | failed | |\n", rate, perSecond, delayMs);
                    continue;
                }
                std::vector<double> sizes;
                for (double e : errors)
                    sizes.push_back(std::abs(e));
                std::sort(errors.begin(), errors.end());
                const double median = errors[errors.size() / 2];
                const double worst = *std::max_element(sizes.begin(), sizes.end());
                std::printf("| %d | %d | %d ms | %+.1f ms | %.1f ms (%zu presses) |\n", rate, perSecond,
                            delayMs, median, worst, errors.size());
                std::fflush(stdout);
            }
        }
    }
    return 0;
}
