#!/usr/bin/env bash
# Runs a program of the Windows build under wine, in that build's own wine prefix:
#
#   scripts/wine-run.sh BUILD_DIR PROGRAM.exe [ARGS...]
#
# CTest calls it for every suite of the Windows build (CMAKE_CROSSCOMPILING_EMULATOR).
# The prefix (BUILD_DIR/wine) is made on first use; the programs find the Qt and MinGW
# libraries through WINEPATH, written by scripts/build-windows.sh to BUILD_DIR/wine-path.
set -euo pipefail
build="$1"
shift
export WINEPREFIX="${QUORVEX_WINEPREFIX:-$build/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64
if [ -z "${WINEPATH:-}" ] && [ -f "$build/wine-path" ]; then
  WINEPATH="$(cat "$build/wine-path")"
  export WINEPATH
fi
if [ ! -f "$WINEPREFIX/.quorvex-ready" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.quorvex-ready" ]; then
      # No Mono or Gecko download dialog: nothing here needs them.
      WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY="" wineboot --init >/dev/null 2>&1
      wineserver --wait || true
      touch "$WINEPREFIX/.quorvex-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
# A QtTest suite's log reaches a file under wine but not a pipe: it is written to one and
# shown when the suite ends, so CTest sees it as on Linux.
program="$(basename "$1")"
case "$program" in
  tst_*.exe)
    log="$(mktemp "${TMPDIR:-/tmp}/quorvex-wine-log.XXXXXX")"
    status=0
    wine "$@" -o "Z:${log//\//\\},txt" || status=$?
    cat "$log"
    rm -f "$log"
    exit "$status"
    ;;
esac
exec wine "$@"
