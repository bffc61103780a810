// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Fuzzes the receive path: a partial line to start from (the user may have
// typed or pasted anything), bytes cut into batches, line assembly, decoding
// and the sample ring, as the window runs them. Inputs are short, a few
// batches' worth, so that many run each second; the partial line and the
// stream may be sent several times over to pass the line cap all the same.

#include "nmea/lineassembly.h"
#include "oracle.h"
#include "ring/samplering.h"

#include <QStringList>

#include <cstdint>
#include <memory>

namespace {

// Assembles `bytes` from `start` in batches of `batchSize`, returning the
// lines handed over and, last, the partial line left.
QStringList assemble(QString line, QByteArrayView bytes, qsizetype batchSize, quorvel::SampleRing &ring)
{
    QStringList lines;
    for (qsizetype at = 0; at < bytes.size(); at += batchSize) {
        quorvel::nmea::assembleLines(
            line, bytes.sliced(at, std::min(batchSize, bytes.size() - at)), [&](const QString &complete) {
                const QByteArray latin1 = complete.toLatin1();
                const std::string_view text(latin1.constData(), size_t(latin1.size()));
                if (complete.size() > quorvel::nmea::MaxLineLength)
                    quorvel::fuzz::fail("a line passed the cap", text);
                for (const char c : text) {
                    if (quorvel::nmea::isTerminator(c) && !lines.isEmpty())
                        quorvel::fuzz::fail("a line holds a control character", text);
                }
                if (const auto fix = quorvel::nmea::decodeGga(text)) {
                    quorvel::fuzz::checkAccepted(text, *fix);
                    ring.storeSample(fix->latitude, fix->longitude, fix->altitude);
                }
                lines << complete;
            });
        if (line.size() > quorvel::nmea::MaxLineLength)
            quorvel::fuzz::fail("the partial line passed the cap", {});
    }
    lines << line;
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The first byte picks the batch size, as the serial buffer would, and
    // how many times (1, 2, 4 or 8) the partial line and the stream are
    // repeated; the second how much of the input is the partial line already
    // in the box.
    const qsizetype batchSize = data[0] % 64 + 1;
    const int repeats = 1 << (data[0] >> 6);
    const qsizetype partial = std::min<qsizetype>(qsizetype(data[1]) * 8, qsizetype(size - 2));
    const QString start
        = QString::fromLatin1(reinterpret_cast<const char *>(data + 2), partial).repeated(repeats);
    const QByteArray stream
        = QByteArray(reinterpret_cast<const char *>(data + 2 + partial), qsizetype(size) - 2 - partial)
              .repeated(repeats);
    const QByteArrayView bytes(stream);

    static auto ring = std::make_unique<quorvel::SampleRing>();
    const QStringList batched = assemble(start, bytes, batchSize, *ring);
    if (assemble(start, bytes, std::max<qsizetype>(bytes.size(), 1), *ring) != batched)
        quorvel::fuzz::fail("cutting the stream into batches changed the lines", {});
    if (ring->SampleCount > quorvel::SampleRing::RingSize || ring->SampleIndex < 0
        || ring->SampleIndex >= quorvel::SampleRing::RingSize)
        quorvel::fuzz::fail("the ring left its bounds", {});
    return 0;
}
