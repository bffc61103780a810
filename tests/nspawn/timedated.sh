#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Sync PC Clock against the real systemd-timedated. Boots a minimal Debian
# with systemd in systemd-nspawn, with systemd-timesyncd active but not
# synchronized (a laptop without internet), installs the .deb there with
# apt and runs inside.sh in it: Sync PC Clock, Yes to the network-time
# question. The move must reach the clock, that is timedated's call to set
# it, which fails there: "Failed to set local time: Operation not permitted".
#
# This machine's clock stays safe: the whole script runs without the right
# to set the time (CAP_SYS_TIME), which systemd-nspawn also leaves out of the
# container's bounding set; the script checks the container's init for it
# before anything runs there, and compares this machine's clock with its
# monotonic clock before and after.
#   timedated.sh BUILD_DIR NMEASIM      the test (status 77: skipped, and why)
#   timedated.sh --make-root BUILD_DIR  makes the Debian root the test boots,
#                                       BUILD_DIR/nspawn-root, unless it is there
set -euo pipefail
skip() {
    echo "SKIP: $*"
    exit 77
}
fail() {
    echo "FAIL: $*"
    exit 1
}
# has_time_right PID: whether PID's bounding set holds CAP_SYS_TIME (bit 25).
has_time_right() {
    local bound
    bound=$(awk '/^CapBnd:/ {print $2}' "/proc/$1/status")
    (((0x$bound >> 25) & 1))
}

[ "$(id -u)" -eq 0 ] || skip "systemd-nspawn needs root"
if has_time_right $$; then
    command -v capsh >/dev/null || skip "capsh (libcap2-bin) is missing: it drops the right to set the clock"
    exec capsh --drop=cap_sys_time -- "$0" "$@"
fi
has_time_right $$ && fail "this script still has the right to set the clock"

here=$(cd "$(dirname "$0")" && pwd)
make_root=no
[ "${1:-}" = --make-root ] && make_root=yes && shift
build=$(cd "$1" && pwd) nmeasim=${2:-}
root=$build/nspawn-root
tools=(python3 cpack dpkg-deb systemd-nspawn)
if [ "$make_root" = yes ]; then tools+=(debootstrap); else tools+=(nsenter convert); fi
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || skip "$tool is missing (./scripts/test installs what this test needs)"
done

work=$(mktemp -d)
share=$work/share
mkdir "$share"
nspawn='' init=''
# The container powers off on SIGTERM; its init ending ends all in it.
stop_container() {
    if [ -n "$nspawn" ] && kill "$nspawn" 2>/dev/null; then
        for _ in $(seq 300); do kill -0 "$nspawn" 2>/dev/null || break; sleep 0.1; done
        # Not ended in 30 s: its init, still nspawn's child, goes first.
        if kill -0 "$nspawn" 2>/dev/null; then
            [ -z "$init" ] || kill -KILL "$init" 2>/dev/null || true
            kill -KILL "$nspawn" 2>/dev/null || true
        fi
        wait "$nspawn" 2>/dev/null || true
    fi
    nspawn=
}
trap 'stop_container; rm -rf "$work"' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# The package, as ./scripts/test makes it, and what the root must hold for
# it: the release of this machine (the package is built against its
# libraries), systemd with timesyncd, then a virtual display, xdotool, the
# accessibility bus with its Python client, and the package's dependencies,
# so that apt installs it there without a network.
(cd "$work" && cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" >cpack.log 2>&1) \
    || { tail -n 20 "$work/cpack.log"; fail "cpack could not make the package"; }
mv "$work"/deb/quorvel_*.deb "$share/"
. /etc/os-release
suite=$VERSION_CODENAME
mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
base=(systemd systemd-sysv dbus systemd-timesyncd)
packages=(xvfb xauth xdotool at-spi2-core python3-pyatspi)
mapfile -t -O ${#packages[@]} packages < <(dpkg-deb -f "$share"/quorvel_*.deb Depends | tr ',' '\n' \
    | sed -E 's/\|.*//; s/\(.*\)//; s/[[:space:]]//g' | grep .)
recipe="$suite ${base[*]} ${packages[*]}"

# in_root DIRECTORY COMMAND...: runs COMMAND in DIRECTORY as its root, with
# this machine's network, without booting it.
in_root() {
    local directory=$1
    shift
    systemd-nspawn --quiet --register=no --keep-unit --machine="quorvel-root-$$" --directory="$directory" \
        --pipe "$@" </dev/null
}

if [ "$make_root" = yes ]; then
    if [ -f "$root/.recipe" ] && [ "$(cat "$root/.recipe")" = "$recipe" ]; then
        echo "Debian root for the timedated test: $root, made before"
        exit 0
    fi
    rm -rf "$root" "$root.new"
    started=$SECONDS
    log=$build/nspawn-root.log
    # debootstrap only for the base: it may configure what it includes in
    # an order that fails; apt puts the rest in. One more try, as a mirror
    # may fail a download now and then.
    for try in 1 2; do
        debootstrap --variant=minbase --include="$(IFS=,; echo "${base[*]}")" "$suite" "$root.new" \
            ${mirror:+"$mirror"} >"$log" 2>&1 \
            && in_root "$root.new" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
                --no-install-recommends "${packages[@]}" >>"$log" 2>&1 \
            && break
        rm -rf "$root.new"
        [ "$try" = 2 ] && { tail -n 5 "$log"; fail "the Debian root could not be made: $log"; }
    done
    in_root "$root.new" apt-get clean >>"$log" 2>&1
    # timesyncd runs in a container too, and without the right to set the
    # clock: it never synchronizes there, but it is active, so that timedated
    # says network time is on.
    mkdir -p "$root.new/etc/systemd/system/systemd-timesyncd.service.d"
    printf '[Unit]\nConditionVirtualization=\nConditionCapability=\n' \
        >"$root.new/etc/systemd/system/systemd-timesyncd.service.d/in-container.conf"
    echo "$recipe" >"$root.new/.recipe"
    mv "$root.new" "$root"
    echo "Debian root for the timedated test: $root ($suite, $(du -sh "$root" | cut -f1)), made in $((SECONDS - started)) s"
    exit 0
fi

if [ ! -f "$root/.recipe" ] || [ "$(cat "$root/.recipe")" != "$recipe" ]; then
    skip "no Debian root for this package in $root: ./scripts/test makes it, or" \
        "$0 --make-root $build (some two minutes, from the Debian mirror)"
fi
cp "$nmeasim" "$here/inside.sh" "$here/answer.py" "$share/"

# clock_offset: this machine's real-time clock less its monotonic clock.
# Only setting the clock changes it.
clock_offset() {
    python3 -c 'import time; print(time.clock_gettime(time.CLOCK_REALTIME) - time.clock_gettime(time.CLOCK_MONOTONIC))'
}
offset_before=$(clock_offset)

# No network: timesyncd reaches no server. The root stays as it was: what
# the container writes goes to a memory overlay. Neither registered with
# machined nor put in a scope of its own, it boots where this machine's init
# is not systemd (a virtual machine's, a CI runner's); a name of its own
# lets two runs boot at once.
started=$EPOCHREALTIME
setsid systemd-nspawn --quiet --directory="$root" --boot --register=no --keep-unit --private-network \
    --volatile=overlay --machine="quorvel-test-$$" --bind="$share:/run/quorvel-test" --console=pipe \
    </dev/null >"$work/boot.log" 2>&1 &
nspawn=$!
for _ in $(seq 100); do
    for pid in $(ps --ppid "$nspawn" -o pid= 2>/dev/null); do
        grep -qP '^NSpid:\t\d+\t1$' "/proc/$pid/status" 2>/dev/null && init=$pid
    done
    [ -n "$init" ] && break
    kill -0 "$nspawn" 2>/dev/null || break
    sleep 0.1
done
[ -n "$init" ] || skip "systemd-nspawn cannot boot a container here: $(tail -n 3 "$work/boot.log" | tr '\n' ' ')"
# Before anything of ours runs in it.
if has_time_right "$init"; then
    fail "the container's init (pid $init) may set the clock ($(grep CapBnd "/proc/$init/status")): not going on"
fi

# inside COMMAND...: runs COMMAND in the container, as root there (without
# the right to set the clock, as this script), for five minutes at most.
inside() {
    timeout 300 nsenter --target "$init" --all \
        env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"
}
# Until its systemd is up, systemctl finds no bus there.
state=
for _ in $(seq 600); do
    state=$(inside systemctl is-system-running 2>&1) || true
    [ "$state" = running ] || [ "$state" = degraded ] && break
    kill -0 "$init" 2>/dev/null || break
    sleep 0.2
done
if [ "$state" != running ] && [ "$state" != degraded ]; then
    skip "the container did not finish booting (\"$state\"): $(tail -n 3 "$work/boot.log" | tr '\n' ' ')"
fi
inside systemctl is-active --quiet systemd-timesyncd \
    || fail "timesyncd is not active in the container: $(inside systemctl status systemd-timesyncd | head -n 5)"
echo "Booted $suite in a container in $(awk "BEGIN {printf \"%.1f\", $EPOCHREALTIME - $started}") s;" \
    "its init (pid $init) cannot set the clock ($(grep CapBnd "/proc/$init/status" | tr -d '\t'))"

status=0
inside bash /run/quorvel-test/inside.sh >"$share/inside.log" 2>&1 || status=$?
[ -f "$share/screen.xwd" ] && convert "xwd:$share/screen.xwd" "$build/timedated-nspawn.png" 2>/dev/null \
    && echo "Screen after the answer: $build/timedated-nspawn.png"
stop_container
offset_after=$(clock_offset)
if [ "$status" -ne 0 ]; then
    tail -n 20 "$share/inside.log"
    fail "the run in the container failed (status $status)"
fi

# What timedated was asked and answered, what it logged, and what the
# program told the user.
python3 "$here/verdict.py" "$share" "$offset_before" "$offset_after"
