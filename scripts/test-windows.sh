#!/usr/bin/env bash
# The Windows build's suites under wine (each in the build's own prefix, through
# scripts/wine-run.sh), then the package against the Linux build:
#
#   scripts/test-windows.sh WINDOWS_BUILD LINUX_BIN
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
windows_build="$(cd "${1:-build-windows}" && pwd)"
linux_bin="${2:-build/bin}"
jobs="${JOBS:-$(nproc 2>/dev/null || echo 2)}"

# The prefix is made once, before the suites start side by side.
bash "$root/scripts/wine-run.sh" "$windows_build" cmd /c exit 0
(cd "$windows_build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
bash "$root/scripts/windows-end-to-end.sh" "$linux_bin" "$windows_build"
bash "$root/scripts/windows-installer-check.sh" "$windows_build"
