#!/usr/bin/env bash
# Builds the game for 64-bit Windows on this Debian machine and packs
# build-windows/Tubechain-<version>-win64.zip.
#
#   scripts/windows/build.sh [--tests] [--installer]
#
# It installs the Debian packages it needs, fetches the original sources of
# GLFW, OpenAL Soft and freealut from Debian's source archive through an apt
# configuration of its own (the system's apt configuration is only read, for
# its mirror), keeps them under build-windows/downloads/ (never fetched
# twice), builds them with MinGW-w64 into build-windows/prefix/ (each one
# again only when its recipe changes), then the game, and packs the zip with
# CPack. --tests also builds googletest and the unit tests that run under
# Wine; --installer also makes the NSIS installer.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
out=${TUBECHAIN_WINDOWS_BUILD:-$root/build-windows}
jobs=${JOBS:-2}
with_tests=0
with_installer=0
for argument in "$@"; do
  case $argument in
    --tests) with_tests=1 ;;
    --installer) with_installer=1 ;;
    *) echo "usage: $0 [--tests] [--installer]" >&2; exit 2 ;;
  esac
done

TUBECHAIN_WINDOWS_INSTALLER=$with_installer bash scripts/windows/install-deps.sh

prefix=$out/prefix
downloads=$out/downloads
toolchain=$root/scripts/windows/mingw-w64-x86_64.cmake
mkdir -p "$out" "$prefix/.built" "$downloads"
started=$SECONDS
step() { echo "== $* ($((SECONDS - started)) s)"; }

# Sources
# Each original tarball: the Debian release to take it from, the source
# package, the file, and its SHA-256 as the signed Sources index gives it.
# GLFW 3.4 rather than bookworm's 3.3.8: it is the current release, with two
# years of Windows fixes (among them the full-screen and pointer capture
# code the game leans on), and it is what Debian 13 ships; linked
# statically, it adds no file to the zip. OpenAL Soft comes from trixie too:
# bookworm's 1.19.1 has no original tarball to fetch.
sources=(
  "trixie glfw3 glfw3_3.4.orig.tar.gz c038d34200234d071fae9345bc455e4a8f2f544ab60150765d7704e08f3dac01"
  "trixie openal-soft openal-soft_1.24.2.orig.tar.gz 7efd383d70508587fbc146e4c508771a2235a5fc8ae05bf6fe721c20a348bd7c"
  "bookworm freealut freealut_1.1.0.orig.tar.gz 60d1ea8779471bb851b89b49ce44eecb78e46265be1a6e9320a28b100c8df44f"
)

# The private apt: its own sources file, lists and cache under build-windows/apt.
apt_dir=$out/apt
apt_options=(
  -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
  -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache"
  -o Acquire::Languages=none -q
)
private_apt_ready=0
prepare_private_apt() {
  [ $private_apt_ready = 1 ] && return
  # The mirror this system's apt uses for its own release.
  local codename mirror
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  mirror=${TUBECHAIN_DEBIAN_MIRROR:-$(apt-get indextargets --format '$(SITE) $(RELEASE)' 'Identifier: Packages' |
    awk -v release="$codename" '$2 == release { print $1; exit }')}
  if [ -z "$mirror" ]; then
    echo "No Debian mirror found in apt's configuration: set TUBECHAIN_DEBIAN_MIRROR." >&2
    exit 1
  fi
  mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
  cat > "$apt_dir/sources.list.d/tubechain-sources.sources" <<SOURCES
Types: deb-src
URIs: $mirror
Suites: bookworm trixie
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  apt-get "${apt_options[@]}" update > "$apt_dir/update.log" 2>&1 || {
    cat "$apt_dir/update.log" >&2
    exit 1
  }
  private_apt_ready=1
}

verified() { [ -f "$1" ] && [ "$(sha256sum "$1" | cut -d' ' -f1)" = "$2" ]; }

for entry in "${sources[@]}"; do
  read -r release package file sha256 <<< "$entry"
  verified "$downloads/$file" "$sha256" && continue
  step "fetching $file"
  prepare_private_apt
  fetch=$(mktemp -d "$downloads/fetch.XXXXXX")
  # apt checks every file against the signed index. Some .dsc and .debian
  # files of these packages are not served, so apt ends with an error while
  # the original tarball is there: the file decides, not the status.
  (cd "$fetch" && apt-get "${apt_options[@]}" source --download-only "$package/$release") > "$fetch.log" 2>&1 || true
  if ! verified "$fetch/$file" "$sha256"; then
    cat "$fetch.log" >&2
    echo "Could not fetch $file from $release, or it differs from the expected file." >&2
    rm -rf "$fetch" "$fetch.log"
    exit 1
  fi
  mv "$fetch/$file" "$downloads/$file"
  rm -rf "$fetch" "$fetch.log"
done

# Libraries
# Builds one library from a tarball (or a source folder) into the prefix,
# unless the prefix already holds it built by the same recipe (recipe_extra
# adds what else the build depends on).
build_library() {
  local name=$1 source=$2
  shift 2
  local recipe="$source $* ${recipe_extra:-}" stamp=$prefix/.built/$name
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ]; then return; fi
  step "building $name"
  local source_dir=$source
  if [ -f "$source" ]; then
    rm -rf "$out/src/$name"
    mkdir -p "$out/src/$name"
    tar -xzf "$source" -C "$out/src/$name" --strip-components=1
    source_dir=$out/src/$name
  fi
  rm -rf "$out/deps/$name"
  mkdir -p "$out/deps"
  cmake -G Ninja -S "$source_dir" -B "$out/deps/$name" -Wno-dev -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DTUBECHAIN_WINDOWS_PREFIX="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" \
    "$@" > "$out/deps/$name.log" 2>&1 &&
    cmake --build "$out/deps/$name" -j "$jobs" >> "$out/deps/$name.log" 2>&1 &&
    cmake --install "$out/deps/$name" >> "$out/deps/$name.log" 2>&1 || {
      tail -40 "$out/deps/$name.log" >&2
      echo "Building $name failed: $out/deps/$name.log" >&2
      exit 1
    }
  echo "$recipe" > "$stamp"
}

build_library glfw "$downloads/glfw3_3.4.orig.tar.gz" \
  -DBUILD_SHARED_LIBS=OFF -DGLFW_BUILD_EXAMPLES=OFF -DGLFW_BUILD_TESTS=OFF -DGLFW_BUILD_DOCS=OFF

# OpenAL Soft only as a DLL (its static build needs a newer CMake than
# Debian 12's, and a DLL suits its LGPL licence), with the C++ runtime inside
# it; the three Windows back ends are required, the wave writer and the null
# device are what the tests hear through. No EAX, HRTF data, tools or
# examples: the game uses none of them.
build_library openal-soft "$downloads/openal-soft_1.24.2.orig.tar.gz" \
  -DLIBTYPE=SHARED -DALSOFT_UTILS=OFF -DALSOFT_NO_CONFIG_UTIL=ON -DALSOFT_EXAMPLES=OFF -DALSOFT_TESTS=OFF \
  -DALSOFT_INSTALL_CONFIG=OFF -DALSOFT_INSTALL_HRTF_DATA=OFF -DALSOFT_INSTALL_AMBDEC_PRESETS=OFF \
  -DALSOFT_INSTALL_EXAMPLES=OFF -DALSOFT_INSTALL_UTILS=OFF -DALSOFT_EMBED_HRTF_DATA=OFF -DALSOFT_EAX=OFF \
  -DALSOFT_UPDATE_BUILD_VERSION=OFF -DALSOFT_BUILD_IMPORT_LIB=OFF \
  -DALSOFT_REQUIRE_WINMM=ON -DALSOFT_REQUIRE_DSOUND=ON -DALSOFT_REQUIRE_WASAPI=ON -DALSOFT_BACKEND_WAVE=ON \
  -DALSOFT_BACKEND_PIPEWIRE=OFF -DALSOFT_BACKEND_PULSEAUDIO=OFF -DALSOFT_BACKEND_JACK=OFF \
  -DALSOFT_BACKEND_PORTAUDIO=OFF -DALSOFT_BACKEND_SDL2=OFF -DALSOFT_BACKEND_SDL3=OFF \
  -DALSOFT_STATIC_LIBGCC=ON -DALSOFT_STATIC_STDCXX=ON -DALSOFT_STATIC_WINPTHREAD=ON

# freealut as a DLL against OpenAL32.dll. Its old install rules leave out
# the import library and put the DLL among the libraries: both are set right
# here.
recipe_extra="against $(cat "$prefix/.built/openal-soft")" build_library freealut \
  "$downloads/freealut_1.1.0.orig.tar.gz" -DBUILD_STATIC=OFF -DCMAKE_SHARED_LINKER_FLAGS=-static-libgcc \
  -DOPENAL_LIB="$prefix/lib/libOpenAL32.dll.a" -DOPENAL_INCLUDE_DIR="$prefix/include"
if [ -f "$prefix/lib/libalut.dll" ]; then
  mkdir -p "$prefix/bin"
  mv -f "$prefix/lib/libalut.dll" "$prefix/bin/"
  cp "$out/deps/freealut/libalut.dll.a" "$prefix/lib/"
fi

# The DLLs go into the zip stripped: 30 MB of symbols become 4 MB.
for dll in "$prefix"/bin/*.dll; do
  x86_64-w64-mingw32-strip --strip-unneeded "$dll"
done

# stb_image reads the TGA images; the build machine's /usr/include must not
# be on the cross build's include path, so the header is copied.
mkdir -p "$prefix/include/stb"
cp /usr/include/stb/stb_image.h "$prefix/include/stb/"

# Their licences travel in the zip's licenses folder, with Windows line
# ends; the MinGW-w64 runtime (start-up code, winpthreads) is in every
# program.
mkdir -p "$prefix/licenses"
crlf() { sed 's/\r*$/\r/'; }
tar -xzOf "$downloads/glfw3_3.4.orig.tar.gz" glfw-3.4/LICENSE.md | crlf > "$prefix/licenses/glfw.txt"
tar -xzOf "$downloads/openal-soft_1.24.2.orig.tar.gz" openal-soft-1.24.2/COPYING | crlf > "$prefix/licenses/openal-soft.txt"
tar -xzOf "$downloads/freealut_1.1.0.orig.tar.gz" freealut-1.1.0/COPYING | crlf > "$prefix/licenses/freealut.txt"
crlf < /usr/share/doc/mingw-w64-x86-64-dev/copyright > "$prefix/licenses/mingw-w64-runtime.txt"

if [ $with_tests = 1 ]; then
  recipe_extra="googletest $(dpkg-query -W -f='${Version}' googletest)" build_library googletest \
    /usr/src/googletest -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON
fi

# The game
step "building the game"
cmake -G Ninja -S "$root" -B "$out/game" -Wno-dev -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DTUBECHAIN_WINDOWS_PREFIX="$prefix" -DBUILD_TESTING=$([ $with_tests = 1 ] && echo ON || echo OFF) \
  -DCMAKE_CROSSCOMPILING_EMULATOR=wine > "$out/game.log"
if [ $with_tests = 1 ]; then
  cmake --build "$out/game" -j "$jobs"
else
  cmake --build "$out/game" -j "$jobs" --target tubechain
fi

step "packing"
generators=ZIP
[ $with_installer = 1 ] && generators="ZIP;NSIS"
(cd "$out/game" && cpack -G "$generators" -B "$out/package" > "$out/package.log") || {
  cat "$out/package.log" >&2
  exit 1
}
version=$(sed -n 's/^project(Tubechain VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
mv "$out/package/Tubechain-$version-win64.zip" "$out/"
[ $with_installer = 1 ] && mv "$out/package/Tubechain-$version-win64.exe" "$out/"
step "done"
ls -l "$out"/Tubechain-"$version"-win64.*
