#!/usr/bin/env bash
# Installs the Debian packages that building, playing and testing the game
# need, when any of them is missing. The names are the same on Debian 12 and
# 13: unversioned ones, which bring each release's own version. Every program
# our scripts and tests run is named here, not left to another package's
# recommendations, which a minimal system does not install.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git clang clang-format libclang-rt-dev
  libgl-dev libglu1-mesa-dev libgl1-mesa-dri libglfw3-dev
  libopenal-dev libalut-dev libstb-dev libfreetype-dev fonts-dejavu-core
  googletest libgtest-dev libbenchmark-dev
  libx11-dev xvfb xauth xdotool imagemagick x11-utils sox valgrind weston xwayland procps
  dpkg-dev file lintian desktop-file-utils appstream groff man-db libnotify-bin
)

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
