#!/usr/bin/env bash
# The Windows package against the Linux build: the zip unpacked into a fresh wine prefix,
# its quorvex-cli.exe exports the sample shop's list in every layout, the Linux quorvex-cli
# does the same, each against a sandbox of its own, and the files must be the same bytes
# apart from the path form and the moment of the run (scripts/compare-windows-export.py).
#
#   scripts/windows-end-to-end.sh LINUX_BIN WINDOWS_BUILD
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
linux_bin="$(cd "$1" && pwd)"
windows_build="$(cd "$2" && pwd)"
zip="$(ls "$windows_build"/Quorvex-*-win64.zip | head -n 1)"
name="$(basename "$zip" .zip)"
work="$(mktemp -d "${TMPDIR:-/tmp}/quorvex-e2e.XXXXXX")"

source "$root/scripts/sandbox.sh"
cleanup() {
  kill "${sandbox_pid:-}" 2>/dev/null || true
  WINEPREFIX="$work/wine" wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A prefix with nothing in it but Windows itself: the folder must bring all it needs.
export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEARCH=win64
unset WINEPATH
WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY="" wineboot --init >/dev/null 2>&1
wineserver --wait || true
drive="$WINEPREFIX/drive_c"
unzip -q "$zip" -d "$drive"
cp "$root/sandbox/data/sample-list.txt" "$drive/sample-list.txt"
mkdir -p "$drive/program" "$work/program"

status=0
for format in tb4 tb5 paipai; do
  mkdir -p "$work/linux/$format" "$drive/out/$format"
  start_sandbox "$linux_bin" "$work/sandbox-linux-$format.log"
  "$linux_bin/quorvex-cli" export --list "$root/sandbox/data/sample-list.txt" --out "$work/linux/$format/goods.csv" \
    --format "$format" --proxy "http://127.0.0.1:$sandbox_port" --program-dir "$work/program" \
    2>"$work/linux-$format.log" || true
  kill "$sandbox_pid"; wait "$sandbox_pid" 2>/dev/null || true

  start_sandbox "$linux_bin" "$work/sandbox-windows-$format.log"
  wine "C:\\$name\\quorvex-cli.exe" export --list 'C:\sample-list.txt' --out "C:\\out\\$format\\goods.csv" \
    --format "$format" --proxy "http://127.0.0.1:$sandbox_port" --program-dir 'C:\program' \
    >"$work/windows-$format.out" 2>"$work/windows-$format.log" || true
  kill "$sandbox_pid"; wait "$sandbox_pid" 2>/dev/null || true

  if [ ! -s "$drive/out/$format/goods.csv" ]; then
    echo "== $format: the Windows program wrote no import file" >&2
    cat "$work/windows-$format.log" >&2
    status=1
    continue
  fi
  echo "== $format: $(tail -n 1 "$work/windows-$format.log")"
  if ! python3 "$root/scripts/compare-windows-export.py" \
      "$work/linux/$format/goods.csv" "$work/linux/$format/goods" \
      "$drive/out/$format/goods.csv" "$drive/out/$format/goods" "C:\\out\\$format\\goods"; then
    status=1
  fi
done
exit $status
