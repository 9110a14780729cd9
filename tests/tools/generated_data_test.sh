#!/usr/bin/env bash
# The committed game data (Model/, Texture/, SFX/) and the desktop icons
# (packaging/icons/) must be exactly what the asset generator writes, and
# the generator must write the same bytes on every run. Arguments: the game executable, then the generator.
set -euo pipefail
generator="${2:-}"
if [ -z "$generator" ] || [ ! -x "$generator" ]; then
  echo "the asset generator was not given or is not built: '$generator'" >&2
  exit 1
fi
root="$(pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$generator" "$work/first"
"$generator" "$work/second"

status=0
# Every file the game opens and every icon size, and nothing else in those folders.
expected="Model/Stage.OBJ Model/Tube.OBJ Model/Tube2.OBJ SFX/Activate.wav SFX/Cervo.wav SFX/Click.wav
SFX/Electricity.wav SFX/Electricity2.wav Texture/Background.tga Texture/Cursor.tga Texture/Ends.tga
Texture/Font.tga Texture/Lightning.tga Texture/Tube.tga packaging/icons/16.png packaging/icons/32.png
packaging/icons/48.png packaging/icons/64.png packaging/icons/128.png packaging/icons/256.png"
written="$(cd "$work/first" && find Model Texture SFX packaging/icons -type f | sort | tr '\n' ' ')"
if [ "$(echo $expected | tr ' ' '\n' | sort | tr '\n' ' ')" != "$written" ]; then
  echo "the generator wrote: $written" >&2
  echo "expected:            $expected" >&2
  status=1
fi
for file in $expected; do
  if ! cmp -s "$work/first/$file" "$work/second/$file"; then
    echo "$file differs between two runs of the generator" >&2
    status=1
  fi
  if [ ! -f "$root/$file" ]; then
    echo "$file is not committed" >&2
    status=1
  elif ! cmp -s "$work/first/$file" "$root/$file"; then
    echo "$file differs from the generator's output: run generate_assets on the repository root" >&2
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "all $(echo $expected | wc -w) data files match the generator"
exit "$status"
