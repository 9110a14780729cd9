#!/usr/bin/env bash
# Plays the game. With a display, it simply runs. Without one, it records a
# demo of the real game on a virtual display: screenshots of the key moments,
# an animated GIF of a long chain and the sound as heard, all in demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
game="$(realpath "${1:-build/tubechain}")"

if [ -n "${DISPLAY:-}" ]; then
  exec "$game"
fi

# The demo needs a virtual display and the tools that record it.
bash scripts/install-deps.sh demo

demo=$(pwd)/demo
rm -rf "$demo"
mkdir -p "$demo/frames"

# Xvfb takes a display number no other server has and writes it to the
# descriptor once it accepts clients: the demo talks only to its own server.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3> "$demo/display" 2> "$demo/xvfb.log" &
xvfb=$!
trap 'kill $xvfb 2> /dev/null || true' EXIT
for _ in $(seq 100); do
  [ -s "$demo/display" ] && break
  kill -0 "$xvfb" 2> /dev/null || break
  sleep 0.1
done
if [ ! -s "$demo/display" ]; then
  echo "The virtual display did not start:" >&2
  cat "$demo/xvfb.log" >&2
  exit 1
fi
display=":$(head -1 "$demo/display")"
rm -f "$demo/display" "$demo/xvfb.log"
export DISPLAY=$display

# OpenAL's wave driver writes what the game plays into a file.
cat > "$demo/openal.conf" <<CONF
[general]
drivers=wave
sample-type=int16
[wave]
file=$demo/sound.wav
CONF

shot() { import -window root "$demo/$1"; }
# Waits until the picture holds still for a second: the lightning is over.
wait_until_still() {
  local previous="" current
  for _ in $(seq "${1:-120}"); do
    current=$(import -window root -depth 8 rgb:- | md5sum)
    [ "$current" = "$previous" ] && return 0
    previous=$current
    sleep 1
  done
}
hold() { xdotool mousedown "$1"; sleep 0.4; xdotool mouseup "$1"; }

# The demo's game keeps its best score and settings in a home of its own,
# never the player's.
mkdir -p "$demo/home"
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$demo/home" ALSOFT_CONF="$demo/openal.conf" "$game" &
pid=$!
window=$(xdotool search --sync --onlyvisible --pid "$pid" | head -1)
# The game takes the keyboard focus itself once its window shows.
for _ in $(seq 300); do [ "$(xdotool getwindowfocus 2> /dev/null)" = "$window" ] && break; sleep 0.1; done
# A window still black has not shown its first frame yet.
for _ in $(seq 300); do
  [ "$(import -window root -format '%[fx:maxima]' info: 2> /dev/null)" != 0 ] && break
  sleep 0.1
done
shot 1-start-up.png
echo "Recording the demo (one to three minutes)..."

# The captured pointer starts at the top-left corner once the window has the
# focus; from there it follows relative moves. Tube 197 (row 14, column 2)
# sets off the longest chain of the start-up board: 384 turns.
xdotool mousemove_relative -- -4000 -4000
wait_until_still 30
xdotool mousemove_relative -- 259 183
sleep 1
shot 2-pointing.png
hold 1

# The chain, a frame every half second, until the board rests again.
for i in $(seq -w 1 400); do
  import -window root -resize 512x384 "$demo/frames/$i.png"
  [ "$i" = "040" ] && cp "$demo/frames/$i.png" "$demo/3-chain-small.png" && shot 3-chain.png
  if [ $((10#$i % 10)) -eq 0 ]; then
    a=$(import -window root -depth 8 rgb:- | md5sum); sleep 1
    b=$(import -window root -depth 8 rgb:- | md5sum)
    [ "$a" = "$b" ] && break
  fi
  sleep 0.5
done
rm -f "$demo/3-chain-small.png"
shot 4-chain-over.png

# The next click on a tube banks the chain's score into Best. The tubes
# under the pointer have turned meanwhile: feel around until a click takes.
for move in "0 0" "14 0" "-28 0" "14 12" "0 -24"; do
  xdotool mousemove_relative -- $move
  sleep 0.3
  before=$(import -window root -depth 8 rgb:- | md5sum)
  hold 1
  sleep 1
  [ "$(import -window root -depth 8 rgb:- | md5sum)" != "$before" ] && break
done
shot 5-best.png
wait_until_still 60
hold 3
sleep 1
shot 6-shuffled.png
sleep 2

xdotool keydown Escape; sleep 0.3; xdotool keyup Escape
status=0
wait "$pid" || status=$?

convert -delay 12 -loop 0 "$demo"/frames/*.png -layers Optimize "$demo/chain.gif"
rm -rf "$demo/frames" "$demo/openal.conf" "$demo/home"

loudest=$(sox "$demo/sound.wav" -t dat - 2> /dev/null | awk '
  !/^;/ { a = ($2 < 0 ? -$2 : $2); b = ($3 < 0 ? -$3 : $3); if (b > a) a = b;
          if (a > peak) { peak = a; at = $1 } }
  END { printf "%.2f s into the recording, peak %.2f of full scale", at, peak }')

echo
echo "No display was set: the game ran on a virtual display ($display)."
echo "Demo in $demo:"
for file in "$demo"/*; do echo "  $(basename "$file")"; done
echo "The game ended with exit status $status."
echo "Loudest moment: $loudest."
exit "$status"
