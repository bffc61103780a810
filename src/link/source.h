// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "nmea/lineassembly.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace quorvel::link {

// Keeps at most `max` of the bytes of `bytes` from `from` on: the newest. The
// cut falls on a terminator, which stays: the line the dropped bytes broke
// off is ended there and never pieced together with a later one. Bytes
// without a terminator in the part kept give a lone line end. Returns
// whether anything was dropped.
inline bool keepNewest(QByteArray &bytes, qsizetype from, qsizetype max)
{
    const qsizetype excess = bytes.size() - from - max;
    if (excess <= 0)
        return false;
    qsizetype cut = from + excess;
    while (cut < bytes.size() && !nmea::isTerminator(bytes[cut]))
        ++cut;
    bytes.remove(from, cut - from);
    if (bytes.size() == from && max > 0)
        bytes += '\n';
    return true;
}

// Where the receiver's bytes come from: a serial device, or a connection.
// The serial control reads every kind the same way; the platform makes them
// (SourceFactory).
class Source : public QObject
{
    Q_OBJECT

public:
    // Why an opening failed, for the message the user gets.
    enum class Failure { None, NotFound, Permission, InUse, Unreachable, Other };

    // What a source holds of what arrived between two reads, at most; more,
    // and the oldest is dropped. Memory stays bounded however fast a
    // receiver sends, and what is read is what it sent last.
    static constexpr qsizetype MaxHeld = 1 << 16;

    using QObject::QObject;

    // Opens; on failure failure() and errorString() say why. An opening that
    // completes later (a connection, a host lookup) returns true at once and
    // raises failed() if it does not complete.
    virtual bool open() = 0;
    virtual void close() = 0;
    // Appends the bytes that have arrived to `buffer`, at most `max` of them,
    // and never waits. When more have arrived, the newest are given (see
    // keepNewest) and it returns true. After the source was lost it gives
    // what came before and then nothing.
    virtual bool readInto(QByteArray &buffer, qsizetype max) = 0;
    // While off, readable() is not raised: the control reads on its own
    // schedule instead of at every byte.
    virtual void setNotifying(bool on) = 0;
    // Changes the bit rate of an open serial line, dropping what came at the
    // old one. A connection has none, and ignores it.
    virtual bool setRate(int rate)
    {
        Q_UNUSED(rate);
        return true;
    }
    // For timing what arrives: the bit rate of a serial line (0 for a
    // connection, whose bytes take no time to arrive), and how many bytes
    // wait to be read now (-1 where the source cannot tell).
    virtual int bitRate() const { return 0; }
    virtual qsizetype bytesWaiting() const { return -1; }

    Failure failure() const { return m_failure; }
    QString errorString() const { return m_errorString; }

Q_SIGNALS:
    // Bytes have arrived (only while notifying).
    void readable();
    // The device or connection went away while open; errorString() says how.
    void lost();
    // An opening that completes later did not; errorString() says why.
    void failed();

protected:
    bool fail(Failure failure, const QString &errorString)
    {
        m_failure = failure;
        m_errorString = errorString;
        return false;
    }

private:
    Failure m_failure = Failure::None;
    QString m_errorString;
};

} // namespace quorvel::link
