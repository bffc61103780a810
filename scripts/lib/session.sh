# SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by scripts/run and the smoke test: a scratch folder, a simulated
# receiver mapped to COM 1 there, and a virtual display.
# shellcheck shell=bash

# Makes $work; every process added to $pids ends, and $work goes, on exit.
start_scratch() {
    work=$(mktemp -d)
    pids=()
    trap stop_scratch EXIT INT TERM
}

stop_scratch() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}

# start_simulator NMEASIM [ARGS...]: the simulated receiver, with COM 1 of
# the configuration folder $work/config mapped to it.
start_simulator() {
    local nmeasim=$1
    shift
    "$nmeasim" --link "$work/gps0" "$@" >"$work/device" &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$work/device" ] && break; sleep 0.1; done
    [ -s "$work/device" ] || { echo "The simulated receiver did not start." >&2; return 1; }
    mkdir -p "$work/config/Quorvel"
    printf '[Ports]\nCOM1=%s\n' "$work/gps0" >"$work/config/Quorvel/Quorvel.conf"
}

# Starts Xvfb on a free display (it says which on fd 3) and exports DISPLAY.
start_virtual_display() {
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || { echo "Xvfb did not start." >&2; return 1; }
    export DISPLAY=:$(cat "$work/display")
}

# without_clock_right COMMAND...: runs the program without the right to set
# this machine's clock. A simulated or replayed receiver's time must never
# reach the real clock; as root, Sync PC Clock would otherwise set it.
without_clock_right() {
    if [ "$(id -u)" -eq 0 ] && command -v capsh >/dev/null; then
        capsh --drop=cap_sys_time -- -c 'exec "$@"' quorvel "$@"
    else
        "$@"
    fi
}
