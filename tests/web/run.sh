#!/usr/bin/env bash
# The browser tests: installs Debian's Chromium and the pinned npm packages
# when missing, builds the desktop reference, and plays build-web/ (make web
# builds it; make web-test builds it first) in headless Chromium against the
# desktop game on a private Xvfb.
set -euo pipefail
cd "$(dirname "$0")/../.."

missing=()
for package in chromium xvfb xauth; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
# A node and npm of the machine's own do as well as Debian's.
command -v node > /dev/null || missing+=(nodejs)
command -v npm > /dev/null || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The packages exactly as the lock file pins them (a few seconds); neither
# downloads a browser of its own.
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON > /dev/null
cmake --build "$build" -j "${JOBS:-2}" --target desktop_reference

cd tests/web
exec env -u WAYLAND_DISPLAY TUBECHAIN_DESKTOP_REFERENCE="$(realpath "../../$build/tests/desktop_reference")" \
  node --test --test-concurrency=1 web.test.mjs
