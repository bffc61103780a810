// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "sourcefactory.h"

namespace quorvel::link {

// This machine's sources: its serial devices (TtySource), TCP, gpsd and UDP
// (TcpSource, UdpSource).
class SystemSources final : public SourceFactory
{
public:
    std::unique_ptr<Source> make(const SourceSpec &spec, int rate) override;
    QList<SerialControl::Device> availableDevices() const override;
    bool gpsdListens() const override;
};

} // namespace quorvel::link
