#!/usr/bin/env bash
# Installs the program into a scratch prefix, starts it under Xvfb on the
# simulated receiver, checks that the window "GPS Quorvel" appears with its
# 385 x 322 client area, and saves a screenshot.
#   smoke.sh BUILD_DIR NMEASIM [SCREENSHOT]
set -euo pipefail
build=$1 nmeasim=$2 shot=${3:-$1/smoke-shot.png}
for tool in Xvfb xwininfo import; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
"$nmeasim" --link "$work/gps0" >/dev/null &
pids+=($!)
mkdir -p "$work/config/Quorvel"
printf '[Ports]\nCOM1=%s\n' "$work/gps0" >"$work/config/Quorvel/Quorvel.conf"

# Xvfb picks a free display itself and says which on fd 3.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

# No session bus: nothing at start-up waits for one.
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$work/prefix/bin/quorvel" 2>"$work/quorvel.err" &
pids+=($!)
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
