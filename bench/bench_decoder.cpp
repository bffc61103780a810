// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "corpus.h"
#include "nmea/gga.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

// GGA lines of the real receiver logs, decoded one after another.
static void BM_DecodeRealGga(benchmark::State &state)
{
    const std::vector<std::string> lines = ggaLinesOfTheLogs();
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

// The reference: the plain way to decode GGA in C, strtok to split the
// fields (it skips empty ones, so they are counted with strsep-like care
// here) and strtod to convert them, with the checksum checked first.
static bool plainDecode(const std::string &line, double out[3])
{
    char buffer[256];
    const std::size_t dollar = line.rfind('$');
    const std::string sentence = dollar == std::string::npos ? line : line.substr(dollar);
    if (sentence.size() >= sizeof buffer || sentence.compare(3, 3, "GGA") != 0)
        return false;
    std::strcpy(buffer, sentence.c_str());
    if (char *star = std::strchr(buffer, '*')) {
        unsigned sum = 0;
        for (char *c = buffer + 1; c < star; ++c)
            sum ^= static_cast<unsigned char>(*c);
        if (std::strtoul(star + 1, nullptr, 16) != sum)
            return false;
        *star = 0;
    }
    char *fields[16] = {};
    int n = 0;
    for (char *rest = buffer, *f; n < 16 && (f = strtok_r(rest, ",", &rest)) != nullptr;)
        fields[n++] = f;
    if (n < 10 || fields[6][0] == '0')
        return false;
    out[0] = std::strtod(fields[2], nullptr) * (fields[3][0] == 'S' ? -1 : 1);
    out[1] = std::strtod(fields[4], nullptr) * (fields[5][0] == 'E' ? -1 : 1);
    out[2] = std::strtod(fields[9], nullptr);
    return true;
}

static void BM_PlainStrtokDecoder(benchmark::State &state)
{
    const std::vector<std::string> lines = ggaLinesOfTheLogs();
    std::size_t i = 0;
    double out[3];
    for (auto _ : state) {
        benchmark::DoNotOptimize(plainDecode(lines[i], out));
        if (++i == lines.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlainStrtokDecoder);

BENCHMARK_MAIN();
