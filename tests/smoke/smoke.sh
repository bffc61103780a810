#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the program into a scratch prefix, starts it under Xvfb on the
# simulated receiver, checks that the window "GPS Quorvel" appears with its
# 385 x 322 client area, and saves a screenshot. Then, while logging, ends it
# with SIGTERM and with SIGHUP (kill, a logout): it must end as closing the
# window does, with status 0 and the serial port's lock file gone.
#   smoke.sh BUILD_DIR NMEASIM [SCREENSHOT]
set -euo pipefail
build=$1 nmeasim=$2 shot=${3:-$1/smoke-shot.png}
for tool in Xvfb xwininfo xdotool import; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

. "$(dirname "$0")/../../scripts/lib/session.sh"
start_scratch
cmake --install "$build" --prefix "$work/prefix" >/dev/null
start_simulator "$nmeasim"
start_virtual_display

# No session bus: nothing at start-up waits for one.
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
# Starts the installed program, and sets $window once its window is shown.
start_program() {
    XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=xcb start_without_clock_right "$work/prefix/bin/quorvel" \
        2>"$work/quorvel.err"
    window=
    for _ in $(seq 300); do
        window=$(xdotool search --all --onlyvisible --pid "${pids[-1]}" --name '^GPS Quorvel$' 2>/dev/null \
            | head -n 1) && [ -n "$window" ] && return 0
        sleep 0.1
    done
    echo "FAIL: no window named \"GPS Quorvel\" appeared on $DISPLAY"
    cat "$work/quorvel.err"
    xwininfo -root -tree | head
    ps -o pid,stat,wchan:20,cmd -p "${pids[-1]}" || true
    exit 1
}

start_program
info=$(xwininfo -id "$window")
size="$(sed -n 's/.*Width: //p' <<<"$info")x$(sed -n 's/.*Height: //p' <<<"$info")"
[ "$size" = 385x322 ] || { echo "FAIL: the client area is $size, not 385x322"; exit 1; }
sleep 1
import -window root "$shot"
echo "The window appeared at 385x322; screenshot: $shot"

# The lock file of COM 1, the simulator's link: LCK.. and its path, '/' as '_'.
lock=/var/lock/LCK..${work//\//_}_gps0
for signal in TERM HUP; do
    [ "$signal" = TERM ] || start_program
    # Focus starts on Calc Position; Tab, Tab reaches Start Log.
    xdotool windowfocus --sync "$window"
    xdotool key --window "$window" Tab Tab Return
    for _ in $(seq 100); do [ -e "$lock" ] && break; sleep 0.1; done
    [ -e "$lock" ] || { echo "FAIL: logging made no lock file $lock"; cat "$work/quorvel.err"; exit 1; }
    pid=${pids[-1]}
    kill -"$signal" "$pid"
    status=0
    wait "$pid" || status=$?
    unset 'pids[-1]'
    left=no
    [ -e "$lock" ] && left=yes && rm -f "$lock"
    if [ "$status" -ne 0 ] || [ "$left" = yes ]; then
        echo "FAIL: SIG$signal ended the program with status $status (wanted 0); lock file left: $left"
        exit 1
    fi
done
echo "SIGTERM and SIGHUP ended it with status 0 and removed the port's lock file"
