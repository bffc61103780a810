// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>

namespace quorvel::link {

// Finds the bit rate of a serial receiver. At the wrong rate a receiver's
// bytes arrive as garbage; at the right one, well-formed sentences come
// within a second or two (with a valid checksum, or with none, as some
// receivers send them). The hunt starts at the rate it is given (the one
// found last time, or 4800), then tries the common rates from 4800 upward,
// about two seconds each, and starts over until a sentence arrives; then it
// stays.
class RateHunt
{
public:
    static constexpr std::array Rates{4800, 9600, 19200, 38400, 57600, 115200};
    static constexpr int PatienceMs = 2000;

    explicit RateHunt(int firstRate = 4800);

    int rate() const { return m_rate; }
    bool found() const { return m_found; }

    // Bytes that arrived at rate(). Returns true when they complete a
    // well-formed sentence: rate() is the receiver's. A sentence with a
    // wrong checksum does not count.
    bool received(QByteArrayView bytes);
    // PatienceMs passed at rate() without a sentence: the next rate to try.
    int next();

private:
    int m_first;
    int m_rate;
    int m_step = 0; // rates tried before this one
    bool m_found = false;
    QByteArray m_line;
};

} // namespace quorvel::link
