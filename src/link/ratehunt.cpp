// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ratehunt.h"

#include "nmea/gga.h"
#include "nmea/lineassembly.h"

#include <algorithm>
#include <string_view>

namespace quorvel::link {

namespace {

// Far longer than any sentence; garbage cannot grow the line past it.
constexpr qsizetype MaxSentence = 128;

} // namespace

RateHunt::RateHunt(int firstRate)
    : m_first(firstRate)
    , m_rate(firstRate)
{
}

bool RateHunt::received(QByteArrayView bytes)
{
    if (m_found)
        return true;
    for (const char c : bytes) {
        if (!nmea::isTerminator(c)) {
            if (m_line.size() < MaxSentence)
                m_line += c;
            continue;
        }
        const std::string_view sentence
            = nmea::lastSentence(std::string_view(m_line.constData(), size_t(m_line.size())));
        if (sentence.size() > 6 && sentence.front() == '$'
            && nmea::checkChecksum(sentence) == nmea::Checksum::Valid) {
            m_found = true;
            return true;
        }
        m_line.clear();
    }
    return false;
}

int RateHunt::next()
{
    m_line.clear();
    // The first rate, then the common ones in turn without it, and again.
    const int others
        = int(std::count_if(Rates.cbegin(), Rates.cend(), [this](int r) { return r != m_first; }));
    const int position = ++m_step % (others + 1);
    m_rate = m_first;
    int seen = 0;
    for (const int r : Rates) {
        if (r != m_first && ++seen == position)
            m_rate = r;
    }
    return m_rate;
}

} // namespace quorvel::link
