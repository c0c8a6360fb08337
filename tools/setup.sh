#!/usr/bin/env bash
# Installs what the project needs on Debian 12 (only what is missing), then
# configures and builds it in build/. Safe to run again: with everything in
# place it only runs the incremental build.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake g++ ninja-build pkg-config
    qt6-base-dev qt6-serialport-dev qt6-websockets-dev libgl-dev
    xvfb xauth xdotool x11-utils imagemagick libxcb1-dev
    dbus-daemon dbus-bin
    fonts-liberation fonts-ipafont-gothic fontconfig
    clang libclang-rt-14-dev
    desktop-file-utils appstream dpkg-dev file lintian
    chromium chromium-driver python3-selenium qrencode
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo_cmd=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build_dir=${ARDENIX_BUILD_DIR:-build}
build_type=${ARDENIX_BUILD_TYPE:-RelWithDebInfo}
if [ ! -f "$build_dir/build.ninja" ]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" ${ARDENIX_CMAKE_ARGS:-} >/dev/null
fi
cmake --build "$build_dir" -j "$(nproc)"
