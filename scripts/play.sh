#!/usr/bin/env bash
# Plays the game. With a display, it simply runs. Without one, it runs the
# game on a virtual display, lets it play for a few seconds, saves a
# screenshot into demo/ and ends the game with Escape.
set -euo pipefail
cd "$(dirname "$0")/.."
game="$(realpath "${1:-build/tubechain}")"

if [ -n "${DISPLAY:-}" ]; then
  exec "$game"
fi

mkdir -p demo
display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2> /dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo > /dev/null 2>&1 && break; sleep 0.1; done

ALSOFT_DRIVERS=null "$game" &
pid=$!
window=$(xdotool search --sync --pid "$pid" | head -1)
xdotool windowfocus --sync "$window"
sleep 3
import -window root demo/screenshot.png
xdotool keydown Escape; sleep 0.2; xdotool keyup Escape
status=0
wait "$pid" || status=$?

echo "No display was set: the game ran on a virtual display ($display)."
echo "Screenshot: $(pwd)/demo/screenshot.png"
echo "The game ended with exit status $status."
exit "$status"
