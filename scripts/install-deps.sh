#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Vantorel need, when any
# of them is missing. Uses sudo when not run as root.
set -euo pipefail

BUILD_PACKAGES=(
    cmake ninja-build g++ pkg-config clang-format
    qt6-base-dev qt6-base-dev-tools
    libxcb1-dev libxcb-shm0-dev libxcb-damage0-dev libxcb-xfixes0-dev libxcb-randr0-dev
    libxcb-composite0-dev libxcb-keysyms1-dev libxcb-xinput-dev
    libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev libyuv-dev
    libpulse-dev
)
RUNTIME_PACKAGES=(qt6-qpa-plugins)
TEST_PACKAGES=(
    googletest libgtest-dev libgmock-dev
    ffmpeg xvfb openbox metacity trayer dunst xdotool imagemagick x11-xserver-utils x11-utils
    picom xcompmgr dbus dbus-x11 pulseaudio pulseaudio-utils sox
    dpkg-dev file desktop-file-utils appstream hsetroot
)

packages=("${BUILD_PACKAGES[@]}" "${RUNTIME_PACKAGES[@]}")
if [ "${1:-}" = "--tests" ]; then
    packages+=("${TEST_PACKAGES[@]}")
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
