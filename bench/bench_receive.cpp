// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One full receive buffer through the real window's receive handler: the
// line assembly, the monitor box, decoding and storing, as on a burst after
// the program was busy.

#include "app/form1.h"
#include "corpus.h"
#include "support/fakes.h"

#include <QApplication>

#include <benchmark/benchmark.h>

static void BM_ReceiveFullBuffer(benchmark::State &state)
{
    quorvel::test::MemorySettingsStore settings;
    auto owned = std::make_unique<quorvel::test::FakeSerialControl>();
    auto *serial = owned.get();
    quorvel::Form1 form(std::move(owned), settings, std::make_unique<quorvel::test::FakeClock>());
    form.Form_Load();
    form.show();
    form.StartStop_Click();
    const QByteArray burst = nmeaStream(32766);
    for (auto _ : state) {
        serial->buffer = burst;
        form.MSComm1_OnComm();
    }
    state.SetBytesProcessed(state.iterations() * burst.size());
    state.counters["samples"] = form.SampleCount;
}
BENCHMARK(BM_ReceiveFullBuffer)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", "/nonexistent"); // settings are in memory; keep Qt away from the user's
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
