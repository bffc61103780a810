#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the program into a scratch prefix, starts it under Xvfb on the
# simulated receiver, checks that the window "GPS Quorvel" appears with its
# 385 x 322 client area, and saves a screenshot.
#   smoke.sh BUILD_DIR NMEASIM [SCREENSHOT]
set -euo pipefail
build=$1 nmeasim=$2 shot=${3:-$1/smoke-shot.png}
for tool in Xvfb xwininfo import; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

. "$(dirname "$0")/../../scripts/lib/session.sh"
start_scratch
cmake --install "$build" --prefix "$work/prefix" >/dev/null
start_simulator "$nmeasim"
start_virtual_display

# No session bus: nothing at start-up waits for one.
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb start_without_clock_right "$work/prefix/bin/quorvel" \
    2>"$work/quorvel.err"
info=
for _ in $(seq 300); do
    info=$(xwininfo -name "GPS Quorvel" 2>/dev/null) && break
    sleep 0.1
done
if [ -z "$info" ]; then
    echo "FAIL: no window named \"GPS Quorvel\" appeared on $DISPLAY"
    cat "$work/quorvel.err"
    xwininfo -root -tree | head
    ps -o pid,stat,wchan:20,cmd -p "${pids[-1]}" || true
    exit 1
fi
size="$(sed -n 's/.*Width: //p' <<<"$info")x$(sed -n 's/.*Height: //p' <<<"$info")"
[ "$size" = 385x322 ] || { echo "FAIL: the client area is $size, not 385x322"; exit 1; }
sleep 1
import -window root "$shot"
echo "The window appeared at 385x322; screenshot: $shot"
