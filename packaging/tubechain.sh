#!/bin/bash
# Starts Tubechain. The game opens its data relative to its working
# directory, so this changes into the data folder and starts the game
# program there, passing nothing on. Both are found from where this script
# really lies (<prefix>/games/tubechain): the program in
# <prefix>/lib/games/tubechain/ and the data in <prefix>/share/games/tubechain/,
# so a staged or unpacked copy runs as well as the installed one.
self=$(readlink -f "$0")
prefix=$(dirname "$(dirname "$self")")
program=$prefix/lib/games/tubechain/tubechain
data=$prefix/share/games/tubechain

# A game started from a menu has no console: what makes it end with status 1
# is shown as a desktop notification too, when there is a way to show one.
notify() {
    if command -v notify-send > /dev/null; then
        notify-send --app-name=Tubechain --icon=tubechain "Tubechain could not start" "$1" 2> /dev/null
    fi
}

if [ ! -x "$program" ]; then
    message="The game program $program is missing."
    echo "$message"
    notify "$message"
    exit 1
fi

# Without its data folder the game starts from its own folder, where it
# finds no data either, and says itself what is missing.
[ -d "$data" ] || data=$(dirname "$program")
cd "$data" || exit 1

if ! command -v notify-send > /dev/null; then
    exec "$program"
fi

# The game prints its start-up messages on the standard output: pass them
# through as they come and keep a copy for the notification.
log=$(mktemp) || exec "$program"
trap 'rm -f "$log"' EXIT
"$program" | tee "$log"
status=${PIPESTATUS[0]}
[ "$status" -eq 1 ] && notify "$(cat "$log")"
exit "$status"
