#!/usr/bin/env bash
# Installs what building, running and testing need on a fresh Debian 12 machine (as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev clang-format
    libgtest-dev libeigen3-dev
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    wine wine64 xauth python3
    # the test display: an X server on the dummy video driver with two monitors side by side
    xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
    # the artwork generator: Pillow, text shaping for Farsi, Latin and Japanese fonts
    python3-pil libraqm0 fonts-dejavu-core fonts-ipafont-gothic
    # the Windows Installer package: wixl builds it, msiinfo reads its tables
    wixl msitools
    # captions and menus in Chinese and Korean under Wine
    fonts-wqy-microhei
)
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -q
    apt-get install -y -q "${missing[@]}"
fi
