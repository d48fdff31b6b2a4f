#!/usr/bin/env bash
# Starts Quorvex against quorvex-sandbox: the sandbox on a free port, a quorvex.ini beside
# the program that names it as the proxy (removed again at the end). Without a display
# the window runs under xvfb-run.
set -euo pipefail
bin=${1:-build/bin}
log=$(mktemp)
"$bin/quorvex-sandbox" --port 0 --quiet >"$log" 2>&1 &
sandbox=$!
ini="$bin/quorvex.ini"
# A quorvex.ini of the user's own is set aside for the session and put back afterwards.
saved=""
if [ -e "$ini" ]; then
  saved="$ini.run-window-saved"
  mv "$ini" "$saved"
fi
restore() {
  kill $sandbox 2>/dev/null || true
  rm -f "$ini" "$log"
  if [ -n "$saved" ]; then mv "$saved" "$ini"; fi
}
trap restore EXIT
port=""
for _ in $(seq 1 100); do
  port=$(sed -n 's/^quorvex-sandbox listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$log")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { cat "$log" >&2; exit 1; }
printf '[network]\nproxy=http://127.0.0.1:%s\n' "$port" >"$ini"
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  xvfb-run -a "$bin/Quorvex"
else
  "$bin/Quorvex"
fi
