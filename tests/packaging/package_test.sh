#!/usr/bin/env bash
# Installing the game. A staged install (DESTDIR) holds exactly the expected
# files; its desktop entry, metainfo and manual page pass their validators;
# its launcher, started from an unrelated folder, opens the full-screen
# window and ends with status 0 on Escape, and says what is wrong when the
# data or the program is missing. The Debian package that CPack makes holds
# the same files, carries its fields and its library dependencies, passes
# lintian, and runs unpacked anywhere. The game plays on a virtual display of
# the test's own, with OpenAL's null driver. Arguments: the game executable,
# in the top of its build tree.
set -euo pipefail
build=$(dirname "$(realpath "$1")")
work=$(mktemp -d)
game_pid=""
launcher_pid=""
display_pid=""
cleanup() {
    [ -n "$game_pid" ] && kill "$game_pid" 2> /dev/null
    [ -n "$launcher_pid" ] && kill "$launcher_pid" 2> /dev/null
    [ -n "$display_pid" ] && kill "$display_pid" 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT
status=0
fail() {
    echo "FAILED: $*" >&2
    status=1
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

# The server picks a free display number and writes it once it is ready.
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp -noreset 9> "$work/display" > /dev/null 2>&1 &
display_pid=$!
wait_for 30 grep -q . "$work/display" || fail "the virtual display did not start"
export DISPLAY=":$(head -1 "$work/display")"
export ALSOFT_DRIVERS=null

expected_files="usr/games/tubechain
usr/lib/games/tubechain/tubechain
usr/share/applications/invalid.tubechain.Tubechain.desktop
usr/share/doc/tubechain/changelog.gz
usr/share/doc/tubechain/copyright
usr/share/games/tubechain/Model/Stage.OBJ
usr/share/games/tubechain/Model/Tube.OBJ
usr/share/games/tubechain/Model/Tube2.OBJ
usr/share/games/tubechain/SFX/Activate.wav
usr/share/games/tubechain/SFX/Cervo.wav
usr/share/games/tubechain/SFX/Click.wav
usr/share/games/tubechain/SFX/Electricity.wav
usr/share/games/tubechain/SFX/Electricity2.wav
usr/share/games/tubechain/Texture/Background.tga
usr/share/games/tubechain/Texture/Cursor.tga
usr/share/games/tubechain/Texture/Ends.tga
usr/share/games/tubechain/Texture/Font.tga
usr/share/games/tubechain/Texture/Lightning.tga
usr/share/games/tubechain/Texture/Tube.tga
usr/share/icons/hicolor/128x128/apps/tubechain.png
usr/share/icons/hicolor/16x16/apps/tubechain.png
usr/share/icons/hicolor/256x256/apps/tubechain.png
usr/share/icons/hicolor/32x32/apps/tubechain.png
usr/share/icons/hicolor/48x48/apps/tubechain.png
usr/share/icons/hicolor/64x64/apps/tubechain.png
usr/share/man/man6/tubechain.6.gz
usr/share/metainfo/invalid.tubechain.Tubechain.metainfo.xml"

# Compares the files (and links) below a folder with the expected list.
check_files() {
    local found
    found=$(cd "$1" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
    if [ "$found" != "$(LC_ALL=C sort <<< "$expected_files")" ]; then
        fail "$2 does not hold exactly the expected files:"
        diff <(LC_ALL=C sort <<< "$expected_files") <(echo "$found") >&2 || true
    fi
}

# Starts a launcher from an empty folder, waits for the game's window (the
# game runs under the launcher, or as the launcher itself after an exec),
# checks its size, name and class (a dock finds the desktop entry by it),
# presses Escape and checks that the launcher ends with 0.
play_and_escape() {
    local launcher=$1 program=$2 window="" geometry ended=0
    mkdir -p "$work/elsewhere"
    (cd "$work/elsewhere" && exec "$launcher") > "$work/played.txt" 2>&1 &
    launcher_pid=$!
    shown() {
        game_pid=$(pgrep -x -f "$program") && window=$(xdotool search --onlyvisible --pid "$game_pid" | head -1)
    }
    wait_for 60 eval 'shown || ! kill -0 "$launcher_pid" 2> /dev/null' || true
    if [ -z "$window" ]; then
        fail "$launcher: the game showed no window: $(cat "$work/played.txt")"
        kill -0 "$launcher_pid" 2> /dev/null || launcher_pid=""
        return
    fi
    geometry=$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=' | tr '\n' ' ')
    [ "$geometry" = "WIDTH=1024 HEIGHT=768 " ] || fail "$launcher: the window is not 1024 x 768 but $geometry"
    local entry name class
    entry=$(dirname "$(dirname "$launcher")")/share/applications/invalid.tubechain.Tubechain.desktop
    name=$(xdotool getwindowname "$window")
    class=$(xprop -id "$window" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = "[^"]*", "\(.*\)"$/\1/p')
    [ -n "$name" ] && grep -qx "Name=$name" "$entry" || fail "$launcher: the window's name '$name' is not the entry's"
    [ -n "$class" ] && grep -qx "StartupWMClass=$class" "$entry" ||
        fail "$launcher: the window's class '$class' is not the entry's StartupWMClass"
    # Nobody gives the window the keyboard on a bare X server: the game takes it.
    wait_for 60 eval '[ "$(xdotool getwindowfocus 2> /dev/null)" = "$window" ]' ||
        fail "$launcher: the game did not take the keyboard focus"
    xdotool keydown Escape
    wait_for 60 eval '! kill -0 "$launcher_pid" 2> /dev/null' || fail "$launcher: Escape did not end the game"
    xdotool keyup Escape
    wait "$launcher_pid" || ended=$?
    launcher_pid=""
    game_pid=""
    [ "$ended" -eq 0 ] || fail "$launcher ended with status $ended after Escape: $(cat "$work/played.txt")"
}

# Runs a launcher that must fail from an empty folder: status 1 and the message.
expect_failure() {
    local launcher=$1 message=$2 output ended=0
    output=$(cd "$work/elsewhere" && timeout 60 "$launcher" 2>&1) || ended=$?
    [ "$ended" -eq 1 ] || fail "$launcher ended with status $ended, not 1, when $3"
    grep -qF "$message" <<< "$output" || fail "$launcher did not say '$message' when $3: $output"
}

# The staged install and its validators.
stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr > /dev/null
check_files "$stage" "the staged install"
desktop=$(desktop-file-validate "$stage/usr/share/applications/invalid.tubechain.Tubechain.desktop" 2>&1) ||
    fail "desktop-file-validate failed"
[ -z "$desktop" ] || fail "desktop-file-validate: $desktop"
# The whole tree, which also checks that the metainfo's launchable is there.
metainfo=$(appstreamcli validate-tree --no-net "$stage" 2>&1) || fail "appstreamcli validate-tree failed: $metainfo"
if grep -E '^ *[EW]:' <<< "$metainfo"; then fail "appstreamcli validate-tree has errors or warnings"; fi
manual=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$stage/usr/share/man/man6/tubechain.6.gz" 2>&1 \
    > /dev/null) || fail "man cannot render the manual page"
[ -z "$manual" ] || fail "man warns about the manual page: $manual"

# The staged launcher, then the same with the data and then the program gone.
play_and_escape "$stage/usr/games/tubechain" "$stage/usr/lib/games/tubechain/tubechain"
rm -rf "$stage/usr/share/games/tubechain"
expect_failure "$stage/usr/games/tubechain" "Failed to load image!!!" "the data folder is missing"
rm "$stage/usr/lib/games/tubechain/tubechain"
expect_failure "$stage/usr/games/tubechain" "lib/games/tubechain/tubechain is missing" "the program is missing"

# The package, made from the same build tree into a folder of its own.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" > "$work/cpack.txt" 2>&1 ||
    fail "cpack failed: $(cat "$work/cpack.txt")"
deb=$work/package/tubechain_1.0.0_amd64.deb
if [ ! -f "$deb" ]; then
    fail "cpack made no $(basename "$deb"): $(ls "$work/package")"
    exit 1
fi
fields=$(dpkg-deb -f "$deb" Package Version Section Maintainer)
[ "$fields" = "Package: tubechain
Version: 1.0.0
Section: games
Maintainer: Tubechain maintainers <maintainers@tubechain.invalid>" ] || fail "package fields: $fields"
description=$(dpkg-deb -f "$deb" Description)
[ "$(wc -l <<< "$description")" -ge 3 ] || fail "no short and long description: $description"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libglfw3 libopenal1 libalut0 libgl1 libglu1-mesa; do
    grep -qE "(^|, )$library( |,|$)" <<< "$depends" || fail "the package does not depend on $library: $depends"
done
# Built on any release, the package installs on Debian 12's libraries.
for oldest in "libc6 2.36" "libstdc++6 12.2.0"; do
    read -r library version <<< "$oldest"
    needed=$(grep -oE "(^|, )$library \(>= [^)]*\)" <<< "$depends" | sed 's/.*>= //; s/)$//') || true
    [ -z "$needed" ] || dpkg --compare-versions "$needed" le "$version" ||
        fail "the package needs $library $needed, newer than Debian 12's $version"
done
dpkg-deb -x "$deb" "$work/unpacked"
check_files "$work/unpacked" "the package"
lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"
play_and_escape "$work/unpacked/usr/games/tubechain" "$work/unpacked/usr/lib/games/tubechain/tubechain"

[ "$status" -eq 0 ] && echo "the staged install and the package install, validate and play"
exit "$status"
