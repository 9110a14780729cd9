#!/usr/bin/env bash
# Builds the game for the browser into build-web/: index.html, index.js,
# index.wasm and index.data (Model/, Texture/ and SFX/ preloaded), and
# build-web/tubechain-web.zip, which holds those four files for a web games
# site. Installs Debian's Emscripten when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-web
jobs=${JOBS:-2}

missing=()
for package in emscripten libstb-dev python3; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Debian's emcc finds Debian's JavaScript modules (acorn) only through NODE_PATH.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

# Every game source but the desktop's main and platform file, with the
# browser's own files instead.
mapfile -t sources < <(find src -name '*.cpp' ! -path 'src/platform/*' ! -path 'src/app/main.cpp' | sort)
sources+=(src/platform/web/platform_web.cpp src/platform/web/web_main.cpp src/platform/web/frame_pace.cpp
          src/platform/web/gl_layer.cpp src/platform/web/alut_wav.cpp)

rm -rf "$out"
mkdir -p "$out/obj" "$out/include"
# stb_image alone from the system's headers, never the rest of /usr/include.
ln -s /usr/include/stb "$out/include/stb"

# The game's own sources see the GL layer in place of GL's missing calls;
# the browser's files call WebGL as it is.
flags=(-std=c++20 -O2 -Wall -Wextra -Isrc -Isrc/platform/web/include -isystem "$out/include")
export out
printf '%s\n' "${sources[@]}" | xargs -P "$jobs" -I{} sh -c '
  source=$1; shift
  case "$source" in src/platform/web/*) ;; *) set -- "$@" -include src/platform/web/gl_layer.h ;; esac
  em++ "$@" -c "$source" -o "$out/obj/$(echo "$source" | tr / _).o" || exit 255' sh {} "${flags[@]}"

em++ -O2 "$out"/obj/*.o -o "$out/index.html" \
  --shell-file src/platform/web/shell.html -sMINIFY_HTML=0 \
  -sUSE_GLFW=3 -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2 -lopenal \
  -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web -sEXPORTED_RUNTIME_METHODS=callMain \
  -sEXPORTED_FUNCTIONS=_main,_malloc,_free \
  --preload-file Model --preload-file Texture --preload-file SFX --exclude-file '*.gitkeep'
rm -rf "$out/obj" "$out/include"

python3 - "$out" <<'PY'
import sys, zipfile
folder = sys.argv[1]
with zipfile.ZipFile(f"{folder}/tubechain-web.zip", "w", zipfile.ZIP_DEFLATED) as archive:
    for name in ("index.html", "index.js", "index.wasm", "index.data"):
        archive.write(f"{folder}/{name}", name)
PY
for file in index.html index.js index.wasm index.data tubechain-web.zip; do
  printf '  %-18s %8d bytes\n' "$file" "$(stat -c %s "$out/$file")"
done
