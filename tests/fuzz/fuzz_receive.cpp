// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Fuzzes the receive path: bytes cut into batches, line assembly, decoding
// and the sample ring, as the window runs them.

#include "nmea/lineassembly.h"
#include "oracle.h"
#include "ring/samplering.h"

#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the batch size, as the serial buffer would.
    const std::size_t batchSize = data[0] % 64 + 1;
    const QByteArrayView bytes(data + 1, qsizetype(size - 1));

    static auto state = std::make_unique<quorvel::SampleRing>();
    QString line;
    for (qsizetype at = 0; at < bytes.size(); at += qsizetype(batchSize)) {
        quorvel::link::assembleLines(
            line, bytes.sliced(at, std::min(qsizetype(batchSize), bytes.size() - at)),
            [](const QString &complete) {
                const QByteArray latin1 = complete.toLatin1();
                const std::string_view text(latin1.constData(), size_t(latin1.size()));
                if (complete.size() > quorvel::link::MaxLineLength)
                    quorvel::fuzz::fail("a line passed the cap", text);
                if (const auto fix = quorvel::nmea::decodeGga(text)) {
                    quorvel::fuzz::checkAccepted(text, *fix);
                    state->storeSample(fix->latitude, fix->longitude, fix->altitude);
                }
            });
        if (line.size() > quorvel::link::MaxLineLength)
            quorvel::fuzz::fail("the partial line passed the cap", {});
    }
    if (state->SampleCount > quorvel::SampleRing::RingSize || state->SampleIndex < 0
        || state->SampleIndex >= quorvel::SampleRing::RingSize)
        quorvel::fuzz::fail("the ring left its bounds", {});
    return 0;
}
