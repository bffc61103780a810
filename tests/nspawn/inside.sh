#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs inside the booted Debian container, as root there, as a new user on
# a desktop would: installs the .deb with apt, starts the program under Xvfb
# on a simulated receiver mapped to COM 1, presses Sync PC Clock and answers
# Yes to the network-time question, all against the container's own system
# bus and its systemd-timedated. It leaves in its folder (shared with the
# host) what the host checks: monitor.json (busctl monitor of timedated),
# journal.txt (timedated's journal), answer.txt (the texts of its windows,
# as a screen reader reads them), screen.xwd (the screen) and the logs.
#   inside.sh        (from the folder holding quorvel_*.deb and nmeasim)
set -euo pipefail
# A session bus of its own, for the accessibility bus.
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || exec dbus-run-session -- bash "$0" "$@"
share=$(cd "$(dirname "$0")" && pwd)
cd "$share"
pids=()
stop() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
}
trap stop EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}

DEBIAN_FRONTEND=noninteractive apt-get install -y -q ./quorvel_*.deb >apt.log 2>&1 \
    || { tail -n 20 apt.log; fail "apt-get could not install the package"; }

busctl monitor --json=short org.freedesktop.timedate1 >monitor.json 2>monitor.err &
pids+=($!)

Xvfb -displayfd 3 -noreset -screen 0 800x600x24 -nolisten tcp -fbdir "$share" 3>display >xvfb.log 2>&1 &
pids+=($!)
# The receiver's sentences come 900 ms after each second, as from a slow
# receiver: the program asks to move the clock back by about 0.9 s, which
# the host's check of its own clock would see.
./nmeasim --link /tmp/gps0 --delay-ms 900 >device &
pids+=($!)
for _ in $(seq 100); do [ -s display ] && [ -s device ] && break; sleep 0.1; done
[ -s display ] && [ -s device ] || fail "Xvfb or the simulated receiver did not start"
DISPLAY=:$(cat display)
export DISPLAY
mkdir -p /tmp/config/Quorvel /tmp/data && mkdir -m 700 /tmp/runtime
printf '[Ports]\nCOM1=/tmp/gps0\n' >/tmp/config/Quorvel/Quorvel.conf

XDG_CONFIG_HOME=/tmp/config XDG_DATA_HOME=/tmp/data XDG_RUNTIME_DIR=/tmp/runtime QT_QPA_PLATFORM=xcb \
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 quorvel 2>quorvel.err &
pids+=($!)
program=$!

# windows_but IDS...: waits up to 30 s for a visible window of the program
# that is none of IDS, and prints it.
windows_but() {
    local id
    for _ in $(seq 300); do
        for id in $(xdotool search --all --onlyvisible --pid "$program" --name '' 2>/dev/null); do
            [[ " $* " == *" $id "* ]] || { echo "$id"; return 0; }
        done
        sleep 0.1
    done
    return 1
}
# key WINDOW KEYS...: gives WINDOW the focus and types KEYS into it. (Sent
# to the window instead, a key that closes it leaves its release nowhere.)
key() {
    xdotool windowfocus --sync "$1" key "${@:2}"
}

window=$(windows_but) || fail "the window did not appear: $(cat quorvel.err)"
sleep 1
# The focus starts on Calc Position; two steps back is Sync PC Clock.
key "$window" shift+Tab shift+Tab Return
question=$(windows_but "$window") || fail "no question came after Sync PC Clock"
# Yes is the question's default button.
key "$question" Return
# The program's answer: a message box, and the status line.
windows_but "$window" "$question" >/dev/null || echo "(no message box came)" >answer.txt
sleep 1
python3 answer.py quorvel >>answer.txt 2>answer.err || true
cp Xvfb_screen0 screen.xwd
journalctl -b -u systemd-timedated -o short-monotonic --no-pager >journal.txt
