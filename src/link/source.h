// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace quorvel::link {

// Where the receiver's bytes come from: a serial device, or a connection.
// The serial control reads every kind the same way.
class Source : public QObject
{
    Q_OBJECT

public:
    // Why an opening failed, for the message the user gets.
    enum class Failure { None, NotFound, Permission, InUse, Other };

    using QObject::QObject;

    // Opens; on failure failure() and errorString() say why.
    virtual bool open() = 0;
    virtual void close() = 0;
    // Appends up to `max` bytes that have arrived to `buffer`; never waits.
    // After the source was lost it gives what came before and then nothing.
    virtual void readInto(QByteArray &buffer, qsizetype max) = 0;
    // While off, readable() is not raised: the control reads on its own
    // schedule instead of at every byte.
    virtual void setNotifying(bool on) = 0;

    Failure failure() const { return m_failure; }
    QString errorString() const { return m_errorString; }

Q_SIGNALS:
    // Bytes have arrived (only while notifying).
    void readable();
    // The device or connection went away while open; errorString() says how.
    void lost();

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
