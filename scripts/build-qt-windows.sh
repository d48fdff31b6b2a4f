#!/usr/bin/env bash
# Builds Qt for 64-bit Windows (MinGW-w64) from Debian's own qt6-base source package, the same
# version as the host's Qt tools, and installs it into a cache that later builds reuse:
#
#   scripts/build-qt-windows.sh            prints the prefix (building it first when needed)
#
# QUORVEX_CACHE (default ${XDG_CACHE_HOME:-$HOME/.cache}/quorvex) holds the source, the build
# and the installed prefix, outside every build folder. The prefix is named for the source
# version and a digest of this script's options, so a new version or new options build anew and
# an unchanged cache is used as it is. The source is fetched with apt through a source list of
# this script's own: the machine's apt configuration is neither read for sources nor changed.
# Everything it prints but the prefix goes to stderr.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
jobs="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
cache="${QUORVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvex}"
toolchain="$here/cmake/mingw-w64-x86_64.cmake"

log() { echo "build-qt-windows: $*" >&2; }

version="$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)"
if [ -z "$version" ]; then
  log "the host's qt6-base-dev is not installed (scripts/install-deps.sh --windows)"
  exit 2
fi

# Only what the programs load: Core, Gui, Widgets, Network, Test, the windows platform plugin and
# style, the gif, ico and jpeg image plugins, Schannel for TLS. Every third-party library is
# Qt's bundled copy, so the DLLs need nothing beyond the MinGW runtime. Debian's source leaves
# out the tablet header the windows platform plugin includes, hence no tablet events.
options=(
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DQT_BUILD_BENCHMARKS=OFF
  -DBUILD_WITH_PCH=OFF
  -DFEATURE_icu=OFF
  -DFEATURE_opengl=OFF
  -DFEATURE_opengles2=OFF
  -DFEATURE_dynamicgl=OFF
  -DFEATURE_sql=OFF
  -DFEATURE_dbus=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_openssl=OFF
  -DFEATURE_schannel=ON
  -DFEATURE_tabletevent=OFF
  -DFEATURE_system_zlib=OFF
  -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_png=OFF
  -DFEATURE_system_freetype=OFF
  -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_doubleconversion=OFF
  -DINPUT_openssl=no
)
stamp="$(printf '%s\n' "$version" "${options[@]}" "$(cat "$toolchain")" | sha256sum | cut -c1-12)"
safe_version="$(printf '%s' "$version" | tr -c 'A-Za-z0-9.+-' '_')"
prefix="$cache/qt-windows-$safe_version-$stamp"

if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

work="$cache/qt-windows-work-$stamp"
mkdir -p "$work"

# The source, through our own apt state: a list of sources and a lists/cache folder of our own.
src_dir="$(find "$work/src" -maxdepth 1 -type d -name 'qt6-base-*' 2>/dev/null | head -n 1 || true)"
if [ -z "$src_dir" ] || [ ! -f "$work/src/.unpacked" ]; then
  rm -rf "$work/src" "$work/apt"
  mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/src"
  codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
  mirror="${QUORVEX_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
  security="${QUORVEX_DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}"
  cat > "$work/apt/sources.list" <<EOF
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $codename main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $codename-updates main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $security $codename-security main
EOF
  apt_opts=(
    -o "Dir::Etc::SourceList=$work/apt/sources.list"
    -o "Dir::Etc::SourceParts=$work/apt/none"
    -o "Dir::State::Lists=$work/apt/lists"
    -o "Dir::Cache=$work/apt/cache"
    -o "Debug::NoLocking=1"
  )
  log "fetching the source of qt6-base $version"
  apt-get "${apt_opts[@]}" -q update >&2
  (cd "$work/src" && apt-get "${apt_opts[@]}" -q source "qt6-base=$version" >&2)
  src_dir="$(find "$work/src" -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)"
  if [ -z "$src_dir" ]; then
    log "the source package did not unpack"
    exit 1
  fi
  touch "$work/src/.unpacked"
fi

log "configuring Qt $version for x86_64-w64-mingw32 in $work/build"
rm -rf "$work/build" "$prefix"
host_cmake_dir="$(dirname "$(dirname "$(dpkg -L qt6-base-dev | grep '/cmake/Qt6/Qt6Config.cmake$' | head -n 1)")")"
cmake -S "$src_dir" -B "$work/build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir" \
  "${options[@]}" >&2

log "building with $jobs jobs (about half an hour on two cores)"
cmake --build "$work/build" -j "$jobs" >&2
cmake --install "$work/build" >&2
touch "$prefix/.complete"
rm -rf "$work/build"
log "Qt for Windows is in $prefix"
echo "$prefix"
