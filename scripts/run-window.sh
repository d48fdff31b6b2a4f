#!/usr/bin/env bash
# Starts Quorvex against quorvex-sandbox: the sandbox on a free port, a quorvex.ini beside
# the program that names it as the proxy (removed again at the end). Without a display
# the window runs under xvfb-run.
set -euo pipefail
bin=${1:-build/bin}
source "$(dirname "$0")/sandbox.sh"
log=$(mktemp)
sandbox_pid=""
ini="$bin/quorvex.ini"
# A quorvex.ini of the user's own is set aside for the session and put back afterwards.
saved=""
if [ -e "$ini" ]; then
  saved="$ini.run-window-saved"
  mv "$ini" "$saved"
fi
restore() {
  [ -n "$sandbox_pid" ] && kill $sandbox_pid 2>/dev/null || true
  rm -f "$ini" "$log"
  if [ -n "$saved" ]; then mv "$saved" "$ini"; fi
}
trap restore EXIT
start_sandbox "$bin" "$log"
printf '[network]\nproxy=http://127.0.0.1:%s\n' "$sandbox_port" >"$ini"
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  xvfb-run -a "$bin/Quorvex"
else
  "$bin/Quorvex"
fi
