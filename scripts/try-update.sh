#!/usr/bin/env bash
# Tries the whole update offline. Builds an installation in out/try-update/program (the
# built Quorvex and update, a version record of 3.6, a quorvex.ini that names the sandbox
# as the proxy) and starts quorvex-sandbox publishing a newer version, with the built
# programs as its downloads (venlo.jpg = Quorvex, update.jpg = update). Then starts the
# update program there, or the main program with "quorvex" as the second argument.
# Without a display the window runs under xvfb-run.
#   bash scripts/try-update.sh [BIN] [update|quorvex] [VERSION]
set -euo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
start=${2:-update}
version=${3:-3.7}
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/out/try-update"
exe=""
case "$(uname -s)" in MINGW* | MSYS* | CYGWIN*) exe=.exe ;; esac

rm -rf "$out"
mkdir -p "$out/program" "$out/downloads"
cp "$bin/update$exe" "$out/program/"
cp "$bin/update$exe" "$out/downloads/update.jpg"
if [ -e "$bin/Quorvex$exe" ]; then
  cp "$bin/Quorvex$exe" "$out/program/"
  cp "$bin/Quorvex$exe" "$out/downloads/venlo.jpg"
else
  # Without a main program to serve, the update program serves as one.
  cp "$bin/update$exe" "$out/downloads/venlo.jpg"
fi
[ -e "$bin/skin.jss" ] && cp "$bin/skin.jss" "$out/program/"
printf '123456789%-6s' 3.6 >"$out/program/tb.dat"

source "$root/scripts/sandbox.sh"
trap 'kill ${sandbox_pid:-} 2>/dev/null || true' EXIT
start_sandbox "$bin" "$out/sandbox.log" --published-version "$version" --downloads "$out/downloads"
printf '[network]\nproxy=http://127.0.0.1:%s\n' "$sandbox_port" >"$out/program/quorvex.ini"
echo "quorvex-sandbox publishes version $version on http://127.0.0.1:$sandbox_port; programs in $out/program"

program="$out/program/update$exe"
[ "$start" = quorvex ] && program="$out/program/Quorvex$exe"
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  xvfb-run -a "$program"
else
  "$program"
fi
echo "tb.dat now holds: [$(cut -c10-15 "$out/program/tb.dat")]"
