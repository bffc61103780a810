// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Fuzzes the GGA decoder: any bytes as one line.

#include "oracle.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char *>(data), size);
    if (const std::optional<quorvel::nmea::GgaFix> fix = quorvel::nmea::decodeGga(line))
        quorvel::fuzz::checkAccepted(line, *fix);
    return 0;
}
