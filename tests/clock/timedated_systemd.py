# SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
# SPDX-License-Identifier: GPL-3.0-or-later
'''A python-dbusmock template of timedated that answers as systemd's does
where dbusmock's own template cannot.

systemd-timedated answers SetNTP as soon as it has asked systemd to stop (or
start) the time sync unit. Until that unit job has finished, every SetTime is
refused with "Previous request is not finished, refusing." and NTP reads
true; then NTP changes, with PropertiesChanged. While NTP is on, SetTime is
refused with "Automatic time synchronization is enabled". NTPSynchronized is
the kernel's word and does not follow SetNTP.

Parameters: NTP (default true), NTPSynchronized (default false), JobSeconds
(how long the unit job takes, default 1.0), SetNTPError (a D-Bus error name
that SetNTP raises, as polkit's refusals do). A SetTime that passes is logged
as "TimeSet USEC".
'''

import time

import dbus
from gi.repository import GLib

BUS_NAME = 'org.freedesktop.timedate1'
MAIN_OBJ = '/org/freedesktop/timedate1'
MAIN_IFACE = 'org.freedesktop.timedate1'
SYSTEM_BUS = True

SYNC_ENABLED = 'org.freedesktop.timedate1.AutomaticTimeSyncEnabled'


def load(mock, parameters):
    mock.job_seconds = float(parameters.get('JobSeconds', 1.0))
    mock.job_until = 0.0
    mock.set_ntp_error = str(parameters.get('SetNTPError', ''))
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({
        'Timezone': 'UTC',
        'LocalRTC': False,
        'CanNTP': True,
        'NTP': dbus.Boolean(parameters.get('NTP', True)),
        'NTPSynchronized': dbus.Boolean(parameters.get('NTPSynchronized', False)),
    }, signature='sv'))


def job_running(mock):
    return time.monotonic() < mock.job_until


@dbus.service.method(MAIN_IFACE, in_signature='xbb', out_signature='')
def SetTime(self, usec, relative, interactive):  # pylint: disable=invalid-name,unused-argument
    # timedated checks for an unfinished job before anything else.
    if job_running(self):
        raise dbus.exceptions.DBusException('Previous request is not finished, refusing.', name=SYNC_ENABLED)
    if self.props[MAIN_IFACE]['NTP']:
        raise dbus.exceptions.DBusException('Automatic time synchronization is enabled', name=SYNC_ENABLED)
    self.log(f'TimeSet {int(usec)}')


@dbus.service.method(MAIN_IFACE, in_signature='bb', out_signature='')
def SetNTP(self, enable, interactive):  # pylint: disable=invalid-name,unused-argument
    if self.set_ntp_error:
        raise dbus.exceptions.DBusException('Interactive authentication required.', name=self.set_ntp_error)
    self.job_until = time.monotonic() + self.job_seconds

    def job_removed():
        self.job_until = 0.0
        self.Set(MAIN_IFACE, 'NTP', dbus.Boolean(enable))
        return False

    GLib.timeout_add(int(self.job_seconds * 1000), job_removed)
