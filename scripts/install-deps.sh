#!/usr/bin/env bash
# Installs, with apt-get, the Debian 12 packages that building and testing ORVANTA need and
# that are not installed yet. Uses sudo when not run as root. Does nothing when all are there.
set -euo pipefail

packages=(
    # tool chain
    cmake ninja-build g++ pkg-config
    # clang with its sanitizer and libFuzzer run-time libraries, and the symbolizer for reports
    clang libclang-rt-14-dev llvm
    # libraries
    qt6-base-dev libcurl4-openssl-dev libmpv-dev qt6-webengine-dev
    # fonts the skin names (Arial's metric twin) and a plain sans for everything else
    fonts-liberation fonts-dejavu-core
    # the demo channels and the whole-program tests
    ffmpeg xvfb xauth imagemagick curl
    # the playback benchmark compares the program with the command-line player
    mpv
    # the whole-program test drives the window as a person would: a window manager, pointer and
    # keys, window properties
    openbox xdotool x11-utils x11-xserver-utils
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
    # media keys over the session bus, and their test's private bus and client
    dbus libglib2.0-bin
    # the Wayland platform and the whole-program test under a headless compositor
    qt6-wayland weston libgl1-mesa-dri libegl-mesa0
    # the Debian package and its check
    dpkg-dev file desktop-file-utils
    # the yardstick of scripts/bench-directory.sh only; the program keeps its own reader
    libpugixml-dev
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "Run as root or install sudo." >&2; exit 1; }
    as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
