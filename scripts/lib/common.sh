# SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the scripts: the packages this project needs and the build.
# shellcheck shell=bash

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# What building and running the program needs on Debian.
build_packages=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools qt6-serialport-dev
                libgl-dev qt6-qpa-plugins fonts-dejavu-core fonts-liberation)
run_packages=(xvfb xauth)
# The clock test runs a mocked timedated on a private bus, without the right
# to set the time; the fuzzers need clang; the smoke test a virtual display.
test_packages=(dbus python3-dbusmock libcap2-bin clang libclang-rt-14-dev clang-format appstream
               desktop-file-utils xvfb xauth x11-utils imagemagick)

# Installs the packages that are missing, as root, with apt-get.
ensure_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# build DIR [cmake options...]: configures once, then builds.
build() {
    local dir=$1
    shift
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir"
}
