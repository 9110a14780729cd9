#!/bin/bash
# Makes the README's pictures from the real game: runs the game-frames test
# with TUBECHAIN_SCREENSHOTS set (start-up flash, hovered tube, a chain, the
# score and best it leaves) on a virtual display, then shrinks them into docs/
# and adds a close-up of the hovered tube.
# Usage: scripts/screenshots.sh [build directory]   (from the repository root)
set -euo pipefail
build=${1:-build}
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
TUBECHAIN_SCREENSHOTS="$shots" ALSOFT_DRIVERS=null xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
    "$build/tests/game_frames_test" --gtest_filter='*Chain*'
mkdir -p docs
for name in start-up idle-outline chain score; do
    convert "$shots/$name.png" -resize 800x600 -strip -dither FloydSteinberg -colors 256 \
        "PNG8:docs/screenshot-$name.png"
done
# The hovered tube up close (the pointer stands at 512, 596).
convert "$shots/idle-outline.png" -crop 240x160+400+510 +repage -scale 200% -strip \
    "PNG24:docs/screenshot-outline-detail.png"
ls -l docs/screenshot-*.png
