// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "average/average.h"
#include "ring/samplering.h"

#include <benchmark/benchmark.h>

#include <memory>

// "Calc Position" on a full ring of 5,000 samples.
static void BM_AverageFullRing(benchmark::State &state)
{
    auto ring = std::make_unique<quorvel::SampleRing>();
    for (int i = 0; i < quorvel::SampleRing::RingSize; ++i)
        ring->storeSample(4807.038 + i * 1e-6, -1131.0 - i * 1e-6, 545.4 + (i % 7) * 0.1);
    for (auto _ : state)
        benchmark::DoNotOptimize(quorvel::average::averageSamples(*ring));
    state.SetItemsProcessed(state.iterations() * quorvel::SampleRing::RingSize);
}
BENCHMARK(BM_AverageFullRing);

BENCHMARK_MAIN();
