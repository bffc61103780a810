// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "serialcontrol.h"
#include "source.h"
#include "sourcespec.h"

#include <QList>

#include <memory>

namespace quorvel::link {

// What the machine offers the serial control: the sources it can read, and
// the serial devices that are there. The control decides when to open,
// wait, try again and change the bit rate; this only does the I/O.
class SourceFactory
{
public:
    virtual ~SourceFactory() = default;

    // A source, not yet opened, that reads what `spec` names; a serial
    // device starts at `rate` bit/s.
    virtual std::unique_ptr<Source> make(const SourceSpec &spec, int rate) = 0;
    // The serial devices present, as a user may choose them.
    virtual QList<SerialControl::Device> availableDevices() const = 0;
    // Whether gpsd listens on this machine: it takes USB receivers as they
    // are plugged in, and then holds them.
    virtual bool gpsdListens() const = 0;
};

} // namespace quorvel::link
