#!/usr/bin/env bash
# Installs the Debian packages that building the game for Windows and
# testing it under Wine need, when any of them is missing (with sudo when not
# root). The Linux build's own packages come from scripts/install-deps.sh.
set -euo pipefail

packages=(
  # Cross-building: MinGW-w64 with posix threads, its pkg-config wrapper,
  # CMake and Ninja, the icon maker, stb_image and googletest's sources.
  g++-mingw-w64-x86-64-posix mingw-w64-tools pkg-config cmake ninja-build
  icoutils libstb-dev googletest apt ca-certificates zip unzip
  # Running and watching it: Wine, a virtual display and its tools.
  wine64 wine xvfb xauth x11-utils xdotool imagemagick sox procps
)
[ "${TUBECHAIN_WINDOWS_INSTALLER:-}" = 1 ] && packages+=(nsis)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
