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

constexpr bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

// A sentence as receivers send it, with or without a checksum:
//   $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
//   $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,
// '$', an address of capitals and digits (talker and type, or a maker's
// code such as PGRME or PSRF103), a comma, fields of printable ASCII, and
// where there is a '*' the right checksum. Bytes read at the wrong rate
// are mostly above 127 or control characters; a run of them that is all
// of this practically never occurs.
bool wellFormed(std::string_view sentence)
{
    if (sentence.empty() || sentence.front() != '$')
        return false;
    const std::size_t comma = sentence.find(',');
    if (comma == std::string_view::npos || comma < 4 || comma > 9 || !isUpper(sentence[1]))
        return false;
    for (std::size_t i = 2; i < comma; ++i) {
        if (!isUpper(sentence[i]) && (sentence[i] < '0' || sentence[i] > '9'))
            return false;
    }
    for (const char c : sentence.substr(comma)) {
        if (c < 32 || c > 126)
            return false;
    }
    return nmea::checkChecksum(sentence) != nmea::Checksum::Invalid;
}

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
        // A line cut at MaxSentence is no sentence.
        if (m_line.size() < MaxSentence
            && wellFormed(nmea::lastSentence(std::string_view(m_line.constData(), size_t(m_line.size()))))) {
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
