# SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the scripts: the packages this project needs and the build.
# shellcheck shell=bash

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# What building and running the program needs on Debian.
build_packages=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools qt6-serialport-dev
                qt6-tools-dev qt6-l10n-tools libgl-dev qt6-qpa-plugins fonts-dejavu-core fonts-liberation scdoc
                libgeographiclib-dev)
run_packages=(xvfb xauth libcap2-bin)
# The clock test runs a mocked timedated on a private bus, without the right
# to set the time; the fuzzers need clang and its runtime; the smoke test a
# virtual display and xdotool; the source sets gpsd; the grids GeographicLib's
# own GeoConvert; the package checks lintian, reuse and the tools that build
# the manual page and the .deb; the number tests a locale whose decimal point
# is two bytes, built from the locales sources; the test against the real
# timedated debootstrap and systemd-nspawn. The formatter is the one version
# Debian 12 and 13 both ship (19.1.7): versions format differently.
clang_format=clang-format-19
test_packages=(dbus python3-dbusmock libcap2-bin clang libclang-rt-dev "$clang_format" appstream
               desktop-file-utils xvfb xauth x11-utils xdotool imagemagick gpsd lintian reuse dpkg-dev file
               man-db locales geographiclib-tools debootstrap systemd-container)

# Installs the packages that are missing with apt-get, as root or through sudo.
ensure_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "These Debian packages are missing: ${missing[*]}" >&2
            echo "Install them as root (apt-get install ${missing[*]}), then run this again." >&2
            exit 1
        fi
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    # Another apt-get (an update in the background, a second terminal) holds
    # the lock for a while: wait for it rather than fail.
    local wait=(-o DPkg::Lock::Timeout=300)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "${wait[@]}" update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "${wait[@]}" install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# build PRESET: configures (once) and builds with one of CMakePresets.json's presets.
build() {
    cmake --preset "$1" -S "$root" >/dev/null
    cmake --build --preset "$1"
}
