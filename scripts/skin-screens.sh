#!/usr/bin/env bash
# Screenshots of the skinned frame: skin-preview with the built skin.jss under a virtual X
# server with a window manager (xvfb-run, openbox). Writes skin-normal.png,
# skin-highlighted.png and skin-maximised.png.
#   bash scripts/skin-screens.sh [BIN_DIR] [OUT_DIR] [SKIN_FILE]
set -euo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
mkdir -p "${2:-screens}"
out=$(cd "${2:-screens}" && pwd)
skin=${3:-$bin/skin.jss}
for tool in xvfb-run openbox; do
  command -v "$tool" >/dev/null || { echo "skin-screens: $tool is missing (apt-get install xvfb openbox)" >&2; exit 1; }
done
xvfb-run -a -s "-screen 0 1024x700x24" bash -c '
  bin=$1 out=$2 skin=$3
  openbox >/dev/null 2>&1 &
  wm=$!
  trap "kill $wm 2>/dev/null || true" EXIT
  sleep 1
  "$bin/skin-preview" --skin "$skin" --grab "$out/skin-normal.png"
  "$bin/skin-preview" --skin "$skin" --hover close --grab "$out/skin-highlighted.png"
  "$bin/skin-preview" --skin "$skin" --maximise --hover max --grab "$out/skin-maximised.png"
' skin-screens "$bin" "$out" "$skin"
echo "skin-screens: wrote $out/skin-normal.png, skin-highlighted.png, skin-maximised.png"
