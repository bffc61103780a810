// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "corpus.h"
#include "nmea/gga.h"

#include <benchmark/benchmark.h>

// GGA lines of the real receiver logs, decoded one after another.
static void BM_DecodeRealGga(benchmark::State &state)
{
    const std::vector<std::string> lines = ggaLinesOfTheLogs();
    if (lines.empty()) {
        state.SkipWithError("the receiver logs are not beside this checkout");
        return;
    }
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(quorvel::nmea::decodeGga(lines[i]));
        if (++i == lines.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["lines"] = double(lines.size());
}
BENCHMARK(BM_DecodeRealGga);

// A typical well-formed fix with its checksum.
static void BM_DecodeOneGga(benchmark::State &state)
{
    const std::string line = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
    for (auto _ : state)
        benchmark::DoNotOptimize(quorvel::nmea::decodeGga(line));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeOneGga);

BENCHMARK_MAIN();
