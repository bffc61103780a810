#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command without the right to set the clock. Only root can hold that
# right and drop it; any other user never has it (the test checks both).
if [ "$(id -u)" -eq 0 ]; then
    exec capsh --drop=cap_sys_time -- -c 'exec "$@"' quorvel-test "$@"
fi
exec "$@"
