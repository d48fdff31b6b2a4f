#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need; with --fuzz also
# clang and its sanitizer and libFuzzer runtimes (make fuzz); with --windows the MinGW-w64
# cross compiler, wine, NSIS and what building Qt for Windows from its Debian source takes
# (make windows, make test-windows).
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  build-essential
  cmake
  qt6-base-dev
  qt6-base-dev-tools
  libqt6opengl6-dev
  qt6-qpa-plugins
  libgl-dev
  qt6-translations-l10n
  clang-format
  fonts-noto-cjk
  xvfb
  xauth
  python3
)
for option in "$@"; do
  case "$option" in
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;
    --windows) packages+=(g++-mingw-w64-x86-64-posix wine wine64 nsis zip unzip ninja-build dpkg-dev
                          xz-utils debian-archive-keyring) ;;
    *) echo "install-deps.sh: unknown option $option" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
