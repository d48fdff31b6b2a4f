#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need; with --fuzz also
# clang and its sanitizer and libFuzzer runtimes (make fuzz).
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
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi

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
