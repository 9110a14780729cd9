#!/usr/bin/env bash
# Installs the Debian packages a task needs, when any of them is missing:
#   play       building and running the game
#   demo       recording the demo on a virtual display (make play without one)
#   test       building and running the test suite (make test)
#   check-all  the slower checks: sanitizer builds, fuzzing, the package
# Several may be given; without any, play. The names are the same on Debian
# 12 and 13: unversioned ones, which bring each release's own version. Every
# program our scripts and tests run is named here, not left to another
# package's recommendations, which a minimal system does not install.
set -euo pipefail

play=(build-essential cmake pkg-config libgl-dev libglu1-mesa-dev libgl1-mesa-dri libglfw3-dev
  libopenal-dev libalut-dev libstb-dev)
demo=(xvfb xauth xdotool imagemagick sox)
test=("${play[@]}" "${demo[@]}" git clang-format googletest libgtest-dev libx11-dev libfreetype-dev
  fonts-dejavu-core x11-utils weston xwayland procps)
check_all=("${test[@]}" clang libclang-rt-dev dpkg-dev file lintian desktop-file-utils appstream groff
  man-db libnotify-bin debootstrap)

packages=()
for task in "${@:-play}"; do
  case "$task" in
    play) packages+=("${play[@]}") ;;
    demo) packages+=("${demo[@]}") ;;
    test) packages+=("${test[@]}") ;;
    check-all) packages+=("${check_all[@]}") ;;
    *) echo "install-deps.sh: no such task: $task (play, demo, test, check-all)" >&2; exit 2 ;;
  esac
done

missing=()
for package in $(printf '%s\n' "${packages[@]}" | sort -u); do
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
