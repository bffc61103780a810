// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "source.h"

#include <QLockFile>
#include <QSocketNotifier>

#include <memory>

namespace quorvel::link {

// A serial device read directly: 8 data bits, no parity, one stop bit, no
// flow control, read only. The device is locked as other serial programs
// lock it (a LCK.. file, and TIOCEXCL), so two programs never share it.
class TtySource final : public Source
{
    Q_OBJECT

public:
    TtySource(QString device, int rate, QObject *parent = nullptr);
    ~TtySource() override;

    bool open() override;
    void close() override;
    bool readInto(QByteArray &buffer, qsizetype max) override;
    void setNotifying(bool on) override;
    bool setRate(int rate) override;
    int bitRate() const override { return m_rate; }
    qsizetype bytesWaiting() const override;

private:
    bool applyRate();

    QString m_device;
    int m_rate;
    int m_fd = -1;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace quorvel::link
