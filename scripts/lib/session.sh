# SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by scripts/run and the smoke test: a scratch folder, a simulated
# receiver mapped to COM 1 there, and a virtual display.
# shellcheck shell=bash

# Makes $work; every process added to $pids ends, and $work goes, however
# the script ends: at its end, on an error, or on a signal (Ctrl+C, a logout,
# timeout(1), kill). A trapped signal ends the script with the status of a
# death by that signal, after the clean-up.
start_scratch() {
    work=$(mktemp -d)
    pids=()
    trap stop_scratch EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

# The last started ends first: the program before the display and the
# receiver it uses, so that it closes its port while they are still there.
stop_scratch() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
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
# -noreset: by default the server resets when its last client leaves, and a
# program started in that moment finds no display.
# It runs in a session of its own: Ctrl+C and timeout(1) signal the whole
# process group, and an X server ending under the program ends the program at
# once, before it closes its port. The clean-up ends it after the program.
start_virtual_display() {
    setsid Xvfb -displayfd 3 -noreset -screen 0 800x600x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || { echo "Xvfb did not start." >&2; return 1; }
    export DISPLAY=:$(cat "$work/display")
}

# start_without_clock_right COMMAND...: starts the program in the background,
# without the right to set this machine's clock, and adds it to $pids (its
# own process id: capsh and its shell replace themselves by it). A simulated
# or replayed receiver's time must never reach the real clock; as root, Sync
# PC Clock would otherwise set it. Nor may the program reach the system's
# timedated, which sets the clock on its behalf (on a desktop, after a
# password): the system bus it is given is one that is not there.
start_without_clock_right() {
    local bus="unix:path=$work/no-system-bus"
    if [ "$(id -u)" -eq 0 ] && command -v capsh >/dev/null; then
        DBUS_SYSTEM_BUS_ADDRESS=$bus capsh --drop=cap_sys_time -- -c 'exec "$@"' quorvel "$@" &
    else
        DBUS_SYSTEM_BUS_ADDRESS=$bus "$@" &
    fi
    pids+=($!)
}
