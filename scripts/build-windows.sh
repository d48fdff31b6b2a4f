#!/usr/bin/env bash
# Cross-builds the Windows programs and their package:
#
#   scripts/build-windows.sh [BUILD_DIR]      (default build-windows)
#
# Qt for Windows comes from QT_WINDOWS_PREFIX when that names an existing Qt 6 build for
# MinGW-w64; otherwise scripts/build-qt-windows.sh builds it (once) from Debian's source.
# Ends with BUILD_DIR/Quorvex-<version>-win64.zip (the program folder) and
# BUILD_DIR/Quorvex-<version>-setup.exe (a per-user installer).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build-windows}"
case "$build" in /*) ;; *) build="$here/$build" ;; esac
jobs="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
triplet=x86_64-w64-mingw32

if [ -n "${QT_WINDOWS_PREFIX:-}" ]; then
  qt="$QT_WINDOWS_PREFIX"
else
  qt="$(bash "$here/scripts/build-qt-windows.sh")"
fi
if [ ! -f "$qt/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  echo "build-windows: no Qt 6 for Windows in $qt" >&2
  exit 2
fi
host_cmake_dir="$(dirname "$(dirname "$(dpkg -L qt6-base-dev | grep '/cmake/Qt6/Qt6Config.cmake$' | head -n 1)")")"

cmake -S "$here" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir" \
  "-DCMAKE_CROSSCOMPILING_EMULATOR=$here/scripts/wine-run.sh;$build"
cmake --build "$build" -j "$jobs"

# Where the suites under wine find the Qt and MinGW libraries (scripts/wine-run.sh).
gcc_runtime="$(dirname "$("$triplet-gcc-posix" -print-libgcc-file-name)")"
for dir in "$qt/bin" "$gcc_runtime" "/usr/$triplet/lib"; do
  printf 'Z:%s;' "${dir//\//\\}"
done | sed 's/;$//' > "$build/wine-path"

version="$(sed -n 's/^project(Quorvex VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")"
bash "$here/scripts/package-windows.sh" "$build" "$qt" "$version"
