#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The program's command line, as a user or a packager calls it.
#   cli.sh QUORVEL VERSION
set -uo pipefail
quorvel=$1 version=$2
failures=0
# expect STATUS PATTERN COMMAND...: the exit status, and a line the output
# must hold; a failure to start (status 1) is told in that one line.
expect() {
    local status=$1 pattern=$2 output got
    shift 2
    output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME=/nonexistent "$@" 2>&1)
    got=$?
    if [ "$got" -ne "$status" ] || ! grep -q -- "$pattern" <<<"$output" \
        || { [ "$status" -eq 1 ] && [ "$(wc -l <<<"$output")" -ne 1 ]; }; then
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
# Where the window could come up, never with the right to set the clock.
running=("$quorvel")
if [ "$(id -u)" -eq 0 ] && command -v capsh >/dev/null; then
    running=(capsh --drop=cap_sys_time -- -c 'exec "$@"' quorvel "$quorvel")
fi
# A display that cannot be reached, or a platform Qt cannot load: Qt itself
# would abort with advice to reinstall.
expect 1 "cannot show the window: could not connect to display :93\." env DISPLAY=:93 "${running[@]}"
expect 1 "could not connect to display :99" "${running[@]}" -display=:99
expect 1 'plugin "bogus"' env QT_QPA_PLATFORM=bogus "${running[@]}"
# A list of platforms is tried in turn, as Qt does; each one's failure is told.
expect 1 '; could not connect to display :93\.' \
    env DISPLAY=:93 QT_QPA_PLATFORM='wayland;xcb' "${running[@]}"
# Those that come up run until SIGTERM, sent after 8 s: a program started on
# a busy machine has set up its handling of it by then.
expect 0 "" timeout --preserve-status 8 env QT_QPA_PLATFORM='wayland;offscreen' "${running[@]}"
# Qt reads only "-platform NAME"; "-platform=NAME" must reach it too. The
# window runs until SIGTERM, which ends it with status 0.
expect 0 "" timeout --preserve-status 8 "${running[@]}" -platform=offscreen
[ "$failures" -eq 0 ] && echo "command line: all checks passed"
exit "$failures"
