#!/usr/bin/env bash
# The Windows build under Wine, as a Windows player gets it: the zip
# unpacked into a fresh folder and tubechain.exe started from another
# folder. On virtual displays of its own (1024 x 768, and 1920 x 1080 where
# the picture is scaled into the middle) the game shows its board, checked on
# screenshots, records its start-up sparks through OpenAL Soft's wave writer
# and ends with status 0 on Escape; each data file missing or broken, no
# sound device and no display end it with its one message and status 1. The
# unit tests that need no window run under Wine too; with --installer the
# NSIS installer is built, installed silently, played and removed again.
#
#   tests/windows/windows_test.sh [--install] [--installer]
#
# Without Wine it is skipped (status 77), unless --install lets the build
# install it. It builds first (scripts/windows/build.sh, which does only
# what is not done yet), in its own Wine prefix under build-windows/, with a
# home and XDG folders of its own. ctest passes the Linux game's path, which
# is not needed here.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
out=${TUBECHAIN_WINDOWS_BUILD:-$root/build-windows}
install=0
with_installer=0
for argument in "$@"; do
  case $argument in
    --install) install=1 ;;
    --installer) with_installer=1 ;;
  esac
done
if ! command -v wine > /dev/null && [ $install = 0 ]; then
  echo "Wine is not installed: the Windows tests are skipped (make windows-test installs it)."
  exit 77
fi

started=$SECONDS
step() { echo "== $* ($((SECONDS - started)) s)"; }
bash scripts/windows/build.sh --tests $([ $with_installer = 1 ] && echo --installer)
step "built"
version=$(sed -n 's/^project(Tubechain VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip=$out/Tubechain-$version-win64.zip
installer=$out/Tubechain-$version-win64.exe

work=$(mktemp -d)
results=$out/test-results
rm -rf "$results"
mkdir -p "$results"
displays=()
cleanup() {
  wineserver -k 2> /dev/null || true
  for pid in "${displays[@]}"; do kill "$pid" 2> /dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what" >&2
  fi
}

# Runs the command until it succeeds or the seconds have passed.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# A Unix path as Windows programs see it under Wine (drive Z: is /).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# Everything Wine and the game may touch stays in the test's folders.
mkdir -p "$work/home" "$work/config" "$work/data" "$work/cache" "$work/runtime" "$work/elsewhere"
chmod 700 "$work/runtime"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export XDG_RUNTIME_DIR=$work/runtime
unset WAYLAND_DISPLAY ALSOFT_DRIVERS ALSOFT_CONF
export WINEPREFIX=$out/wine-prefix WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko installer on the prefix's first start.
export WINEDLLOVERRIDES="mscoree=;mshtml="

# A virtual display of the given size becomes DISPLAY; Xvfb picks a free
# number and writes it once it takes clients.
start_display() {
  local file
  file=$(mktemp "$work/display.XXXXXX")
  Xvfb -displayfd 9 -screen 0 "$1x24" -nolisten tcp -noreset 9> "$file" > /dev/null 2>&1 &
  displays+=($!)
  if ! wait_for 30 grep -q . "$file"; then
    echo "The virtual display did not start." >&2
    exit 1
  fi
  export DISPLAY=":$(head -1 "$file")"
}

step "starting Wine"
rm -rf "$WINEPREFIX"
start_display 1024x768
wineboot --init > "$results/wineboot.log" 2>&1
wineserver -w
# The server stays up between the many short runs that follow.
wineserver -p

# A folder whose name no narrow Windows code page holds whole: the game must
# find its data through the wide file functions.
unpacked="$work/Spiele und ゲーム"
unzip -q "$zip" -d "$unpacked"
game_folder=$unpacked/Tubechain-$version-win64
game=$game_folder/tubechain.exe

# The zip
expected="LICENSE.txt
Model/Stage.OBJ
Model/Tube.OBJ
Model/Tube2.OBJ
OpenAL32.dll
README.txt
SFX/Activate.wav
SFX/Cervo.wav
SFX/Click.wav
SFX/Electricity.wav
SFX/Electricity2.wav
Texture/Background.tga
Texture/Cursor.tga
Texture/Ends.tga
Texture/Font.tga
Texture/Lightning.tga
Texture/Tube.tga
libalut.dll
licenses/freealut.txt
licenses/glfw.txt
licenses/mingw-w64-runtime.txt
licenses/openal-soft.txt
tubechain.exe"
check "the zip holds the program, its two DLLs, the data and the texts, and nothing else" \
  test "$(cd "$game_folder" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)" = "$expected"
for file in Model Texture SFX; do
  check "$file/ is the repository's" diff -r "$root/$file" "$game_folder/$file" -x .gitkeep
done
# The icon and the version, read back with icoutils. The icon is the only
# one, named for GLFW to give the game's window.
wrestool -x --type=14 "$game" -o "$work/icon.ico" 2> /dev/null || true
check "the program's icon holds the six sizes" \
  test "$(icotool -l "$work/icon.ico" 2> /dev/null | grep -o -- '--width=[0-9]*' | sort -u | tr '\n' ' ')" = \
  "--width=128 --width=16 --width=256 --width=32 --width=48 --width=64 "
check "the program's one icon is GLFW_ICON" test "$(wrestool -l --type=14 "$game" | grep -o -- "--name=[^ ]*")" = \
  "--name='GLFW_ICON'"
wrestool -x --raw --type=16 "$game" 2> /dev/null | iconv -f UTF-16LE -t UTF-8 -c | tr -d '\0' > "$work/version" || true
for field in "ProductNameTubechain" "ProductVersion$version" "FileVersion$version" "OriginalFilenametubechain.exe"; do
  check "the program's version information holds $field" grep -aq "$field" "$work/version"
done

# One run of the game: started from an unrelated folder, with what it prints
# in NAME.out (Wine's own notes in NAME.err); sets game_pid.
start_game() {
  local name=$1
  shift
  (cd "$work/elsewhere" && exec env "$@" wine "$game" > "$results/$name.out" 2> "$results/$name.err") &
  game_pid=$!
}
# Waits for it to end; sets game_status (-1 when it had to be killed).
finish_game() {
  if ! wait_for "$1" bash -c "! kill -0 $game_pid 2> /dev/null"; then
    kill "$game_pid" 2> /dev/null || true
    wait "$game_pid" 2> /dev/null || true
    game_status=-1
    return
  fi
  game_status=0
  wait "$game_pid" || game_status=$?
}
printed() { tr -d '\r' < "$results/$1.out"; }

game_window() { DISPLAY=$1 xdotool search --onlyvisible --name '^Tubechain$' 2> /dev/null | head -1 || true; }
has_window() { [ -n "$(game_window "$1")" ]; }

# The picture on the screen, and where it is not black: the bounding box of
# the pixels brighter than the letterbox bars, "WxH+X+Y".
screenshot() { DISPLAY=$1 import -window root "$2" 2> /dev/null; }
# (A black frame first, so that the trim box ImageMagick measures is that of
# the lit pixels whatever the corners hold.)
lit_box() {
  convert "$1" -colorspace gray -threshold 4% -bordercolor black -border 1 -format '%@' info: 2> /dev/null |
    awk -F'[x+]' '{ printf "%dx%d+%d+%d", $1, $2, $3 - 1, $4 - 1 }'
}
# The board of the start-up frame stands on the stage: the picture's middle
# is lit and not one flat colour.
shows_board() {
  screenshot "$1" "$2" || return 1
  local spread
  spread=$(convert "$2" -gravity center -crop 50%x50%+0+0 -colorspace gray -format '%[fx:standard_deviation]' info:)
  awk -v s="$spread" 'BEGIN { exit !(s > 0.05) }'
}

# The mixed stereo output as mono levels in 10 ms windows: "second peak" lines.
window_peaks() {
  sox "$1" -t dat -c 1 - 2> /dev/null | awk -v rate="$(soxi -r "$1")" '
    /^;/ { next }
    { level = $2 < 0 ? -$2 : $2; n++; if (level > peak) peak = level
      if (n == rate / 100) { printf "%.2f %.4f\n", w / 100, peak; w++; n = 0; peak = 0 } }'
}

# Escape in the game's window on the display, and the game's end.
escape_game() {
  local window
  window=$(game_window "$1")
  if [ -n "$window" ]; then
    DISPLAY=$1 xdotool windowfocus "$window" 2> /dev/null || true
    DISPLAY=$1 xdotool keydown Escape
    finish_game 30
    DISPLAY=$1 xdotool keyup Escape
  else
    finish_game 1
  fi
}

# One run named NAME on DISPLAY, its sound recorded in NAME.wav: the board
# shown (NAME.png), what the command after them does (if any), then Escape.
play_and_escape() {
  local name=$1 display=$2 recording=$results/$1.wav
  printf '[general]\ndrivers=wave\nchannels=stereo\nsample-type=int16\nfrequency=44100\n[wave]\nfile=%s\n' \
    "$(windows_path "$recording")" > "$work/$name.ini"
  start_game "$name" DISPLAY="$display" ALSOFT_CONF="$(windows_path "$work/$name.ini")"
  check "$name: the window opened" wait_for 90 has_window "$display"
  check "$name: the board is shown" wait_for 90 shows_board "$display" "$results/$name.png"
  [ $# -lt 3 ] || "${@:3}"
  escape_game "$display"
  check "$name: Escape ends it with status 0 ($game_status)" test "$game_status" = 0
  check "$name: it printed nothing" test -z "$(printed "$name")"
}

# 1024 x 768
step "playing at 1024 x 768"
play_and_escape play-1024x768 "$DISPLAY"
check "1024 x 768: the picture fills the screen" test "$(lit_box "$results/play-1024x768.png")" = "1024x768+0+0"
# The start-up shuffle sounds every tube's electricity pair in the first
# frame: a loud onset within the recording's first seconds (it starts as the
# sound device opens), sounding for at least 0.3 s (a pair's second voice,
# Electricity2.wav at pitch 1, lasts 0.35 s).
window_peaks "$results/play-1024x768.wav" > "$work/peaks" || true
check "the recording holds the start-up sparks" awk '
  $2 > 0.1 && first == "" { first = $1 } $2 > 0.02 { loud++ }
  END { printf "first spark at %s s, %.2f s of sound\n", first, loud / 100 > "/dev/stderr"
        exit !(first != "" && first < 5 && loud >= 30) }' "$work/peaks"

# Kept between runs, in the prefix's Roaming AppData. A best that makes no
# sense is renamed aside with a note, and the game plays: pushed into the
# bottom-left corner, the pointer is nearest tube 1, and Right takes it to
# tube 2, whose chain is short; a click there and one after its chain bank a
# best. The next start shows that best on the stage; there F11 makes a
# window, Alt+Enter full screen again, and M mutes it: the start after that
# records silence while its start-up lightning runs.
step "keeping the best and the settings"
kept=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Roaming | head -1)/Tubechain
keys() { DISPLAY=$DISPLAY xdotool "$@"; }
banked() {
  keys mousemove_relative -- -4000 4000 key Right key space
  grep -q '^best=[1-9]' "$kept/best.txt" 2> /dev/null
}
# The "Best" line on the stage of NAME.png, and how far that of NAME differs
# from that of OTHER: "above" or "below" 0.02. (The frame that banks a best
# still shows the old one: the next shows it.)
best_line() { convert "$results/$1.png" -crop 480x56+240+62 +repage "$work/$1.png" 2> /dev/null; }
best_differs() {
  best_line "$1" && best_line "$2" &&
    awk -F'[()]' -v way="$3" 'NF > 2 { found = 1; exit !((way == "above") == ($2 > 0.02)) } END { if (!found) exit 1 }' \
      <<< "$(compare -metric RMSE "$work/$1.png" "$work/$2.png" null: 2>&1)"
}
best_shown() { screenshot "$DISPLAY" "$results/$1.png" && best_differs "$1" play-1024x768 above; }
# The window stands where the picture is lit: "WxH+X+Y".
shown_as() {
  local WINDOW X Y WIDTH HEIGHT SCREEN
  eval "$(keys getwindowgeometry --shell "$(game_window "$DISPLAY")")" && screenshot "$DISPLAY" "$results/$1.png" &&
    [ "$(lit_box "$results/$1.png")" = "${WIDTH}x${HEIGHT}+$X+$Y" ] && [[ ${WIDTH}x${HEIGHT}+$X+$Y == $2 ]]
}
# Its icon as the X server has it: the game's own 32 and 16 pixel pictures.
icon_shown() {
  test "$(xprop -display "$DISPLAY" -id "$(game_window "$DISPLAY")" -notype 32c _NET_WM_ICON | tr -cs 0-9 '\n' | grep .)" = \
    "$(for size in 32 16; do printf '%s\n%s\n' $size $size; convert "$root/packaging/icons/$size.png" -depth 8 rgba:- |
      od -An -v -tu1 -w4 | awk '{ printf "%.0f\n", (($4 * 256 + $1) * 256 + $2) * 256 + $3 }'; done)"
}
switch_and_mute() {
  check "keep-restart: the best is shown again" best_differs keep-restart keep-best below
  check "the window's icon is the game's" icon_shown
  keys key F11
  check "F11: a window in the middle of the screen" wait_for 60 shown_as f11 '[1-9]*x*+[1-9]*+[1-9]*'
  keys key alt+Return
  check "Alt+Enter: full screen again" wait_for 60 shown_as alt-enter 1024x768+0+0
  keys key m
  check "M: settings.ini says muted=yes" wait_for 30 grep -q '^muted=yes' "$kept/settings.ini"
}
mkdir -p "$kept"
echo "best=many" > "$kept/best.txt"
start_game keep-best DISPLAY="$DISPLAY" ALSOFT_DRIVERS=null
check "keep-best: a chain and a click bank a best in best.txt" wait_for 300 banked
check "keep-best: the best is shown" wait_for 60 best_shown keep-best
escape_game "$DISPLAY"
check "keep-best: what made no sense is kept as best.txt.bad" test "$(cat "$kept/best.txt.bad")" = "best=many"
check "keep-best: a note says so" grep -qF '\AppData\Roaming\Tubechain\best.txt.bad' "$results/keep-best.out"
play_and_escape keep-restart "$DISPLAY" switch_and_mute
check "keep-restart: settings.ini says full-screen=yes" grep -q '^full-screen=yes' "$kept/settings.ini"
# FILE holds more than MILLISECONDS of the recording (16-bit stereo at
# 44.1 kHz after a 44-byte header): here, time for the start-up sparks.
recorded() { [ "$(stat -c %s "$1" 2> /dev/null || echo 0)" -gt $((44 + 44100 * 4 * $2 / 1000)) ]; }
play_and_escape keep-muted "$DISPLAY" check "keep-muted: over a second recorded" wait_for 60 recorded \
  "$results/keep-muted.wav" 1200
check "keep-muted: the start-up lightning is shown" awk -v d="$(convert "$results/keep-muted.png" -gravity center \
  -crop 50%x50%+0+0 -format '%[fx:mean.b - mean.r]' info:)" 'BEGIN { exit !(d > 0.1) }'
check "keep-muted: the recording is silent" awk '$2 > peak { peak = $2 } END { exit !(NR >= 100 && peak < 0.001) }' \
  <(window_peaks "$results/keep-muted.wav")
rm -rf "$kept"

# Every data file missing stops it with its message, and so does one of
# each kind replaced by text (the Linux tests spoil each in three ways: the
# readers are the same code on Windows).
step "spoiling the data"
expect_stop() {
  local name=$1 message=$2
  shift 2
  start_game "$name" "$@"
  finish_game 60
  check "$name: status 1 ($game_status)" test "$game_status" = 1
  check "$name: says \"$message\" and nothing else" test "$(printed "$name")" = "$message"
}
for entry in "Texture/Font.tga:Failed to load image!!!" "Texture/Tube.tga:Failed to load image!!!" \
  "Texture/Ends.tga:Failed to load image!!!" "Texture/Background.tga:Failed to load image!!!" \
  "Texture/Cursor.tga:Failed to load image!!!" "Texture/Lightning.tga:Failed to load image!!!" \
  "Model/Tube.OBJ:Failed to load model!" "Model/Tube2.OBJ:Failed to load model!" \
  "Model/Stage.OBJ:Failed to load model!" "SFX/Electricity.wav:Error: Failed to load WAV data!" \
  "SFX/Electricity2.wav:Error: Failed to load WAV data!" "SFX/Click.wav:Error: Failed to load WAV data!" \
  "SFX/Cervo.wav:Error: Failed to load WAV data!" "SFX/Activate.wav:Error: Failed to load WAV data!"; do
  file=${entry%%:*}
  message=${entry#*:}
  mv "$game_folder/$file" "$work/kept"
  expect_stop "missing-${file//\//-}" "$message" DISPLAY="$DISPLAY" ALSOFT_DRIVERS=null
  if [[ $file == Texture/Font.tga || $file == Model/Tube.OBJ || $file == SFX/Click.wav ]]; then
    echo "This is not what the game expects here." > "$game_folder/$file"
    expect_stop "text-${file//\//-}" "$message" DISPLAY="$DISPLAY" ALSOFT_DRIVERS=null
  fi
  mv "$work/kept" "$game_folder/$file"
done
expect_stop no-sound-device "Failed to generate buffers!" DISPLAY="$DISPLAY" ALSOFT_DRIVERS=no-such-driver

# Started as Explorer starts it, with no console and no standard output, the
# game shows its message in a box (a small window of its name, the game's
# own window closed), whose OK ends it with status 1.
message_box() {
  local window
  window=$(game_window "$DISPLAY") && [ -n "$window" ] &&
    [ "$(DISPLAY=$DISPLAY xdotool getwindowgeometry --shell "$window" | sed -n 's/^WIDTH=//p')" -lt 600 ]
}
press_ok() {
  local window
  window=$(game_window "$DISPLAY")
  if [ -n "$window" ]; then
    DISPLAY=$DISPLAY xdotool windowfocus "$window" 2> /dev/null || true
    DISPLAY=$DISPLAY xdotool key Return
  fi
  ! kill -0 "$game_pid" 2> /dev/null
}
mv "$game_folder/Texture/Cursor.tga" "$work/kept"
(cd "$work/elsewhere" && exec env ALSOFT_DRIVERS=null wine start /wait /unix "$game" \
  > "$results/message-box.out" 2> "$results/message-box.err") &
game_pid=$!
check "double-clicked: the message comes in a box" wait_for 60 message_box
screenshot "$DISPLAY" "$results/message-box.png"
check "double-clicked: OK in the box ends it" wait_for 30 press_ok
finish_game 1
check "double-clicked: status 1 ($game_status)" test "$game_status" = 1
mv "$work/kept" "$game_folder/Texture/Cursor.tga"

step "unit tests"
check "the unit tests pass under Wine" env WINEPATH="$(windows_path "$out/prefix/bin")" \
  ctest --test-dir "$out/game" --output-on-failure --timeout 300

# 1920 x 1080: the 4:3 picture scaled to 1440 x 1080 in the middle, black
# bars of 240 pixels at the sides. Wine's desktop process belongs to the
# display it started on: the server ends before the display changes.
step "playing at 1920 x 1080"
wineserver -k
wineserver -w
start_display 1920x1080
play_and_escape play-1920x1080 "$DISPLAY"
box=$(lit_box "$results/play-1920x1080.png" || true)
check "1920 x 1080: the picture stands in the middle, 1440 x 1080 ($box)" \
  awk -v box="$box" 'BEGIN { split(box, b, "[x+]"); exit !(b[1] >= 1436 && b[1] <= 1440 && b[2] == 1080 &&
    b[3] >= 240 && b[3] <= 242 && b[4] == 0) }'
# Scaled back to 1024 x 768, its top band (the stage and the score, which
# stand still while the start-up lightning runs over the board) is the
# 1024 x 768 picture's: a picture shifted by 10 pixels or mirrored differs
# by 0.11 or more.
convert "$results/play-1920x1080.png" -crop 1440x1080+240+0 +repage -resize '1024x768!' -crop 1024x130+0+0 +repage \
  "$work/scaled-band.png" 2> /dev/null || true
convert "$results/play-1024x768.png" -crop 1024x130+0+0 +repage "$work/band.png" 2> /dev/null || true
difference=$(compare -metric RMSE "$work/band.png" "$work/scaled-band.png" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p' || true)
check "1920 x 1080: scaled back, its stage and score are the 1024 x 768 picture's (${difference:-none})" \
  awk -v d="${difference:-1}" 'BEGIN { exit !(d < 0.03) }'

step "no display"
wineserver -k
wineserver -w
expect_stop no-display "Failed to initialize GLFW!" -u DISPLAY ALSOFT_DRIVERS=null
wineserver -w

if [ $with_installer = 1 ]; then
  step "the installer"
  start_display 1024x768
  programs=$WINEPREFIX/drive_c/Program\ Files/Tubechain
  menu=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Tubechain
  wine "$installer" /S > "$results/install.log" 2>&1 || true
  check "the installer put the game in Program Files" test -f "$programs/tubechain.exe"
  check "the installer made a Start-menu entry" test -f "$menu/Tubechain.lnk"
  game=$programs/tubechain.exe
  play_and_escape installed "$DISPLAY"
  wine "$programs/Uninstall.exe" /S > "$results/uninstall.log" 2>&1 || true
  # The uninstaller copies itself away and goes on in the background.
  check "the uninstaller removed the game and its entry" \
    wait_for 60 bash -c "[ ! -e '$programs/tubechain.exe' ] && [ ! -e '$menu' ]"
fi

step "done"
echo "Pictures, recordings and what each run printed: $results"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
