#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The program's command line, as a user or a packager calls it.
#   cli.sh QUORVEL VERSION
set -uo pipefail
quorvel=$1 version=$2
failures=0
# expect STATUS PATTERN COMMAND...: the exit status, and a line the output must hold.
expect() {
    local status=$1 pattern=$2 output got
    shift 2
    output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME=/nonexistent "$@" 2>&1)
    got=$?
    if [ "$got" -ne "$status" ] || ! grep -q -- "$pattern" <<<"$output"; then
        echo "FAIL: $* gave $got (wanted $status) and:"
        echo "$output"
        failures=$((failures + 1))
    fi
}
expect 0 "^Usage: quorvel" "$quorvel" --help
expect 0 "^quorvel $version\$" "$quorvel" --version
expect 0 "^quorvel $version\$" "$quorvel" -platform offscreen -v
expect 2 "unknown option or argument '--bogus'" "$quorvel" --bogus
expect 2 "unknown option or argument 'file.nmea'" "$quorvel" file.nmea
expect 1 "needs a graphical session" "$quorvel"
[ "$failures" -eq 0 ] && echo "command line: all checks passed"
exit "$failures"
