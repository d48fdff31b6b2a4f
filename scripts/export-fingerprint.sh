#!/usr/bin/env bash
# Digests of everything a set of sandbox exports writes: the three layouts, with and without
# the options that change bytes (rules, watermark, links, price, stock), over the sample list
# and a shop whose items share pictures. Two builds that print the same lines write the same
# files; run it before and after a change that must not change behaviour, and diff the two.
#
#   bash scripts/export-fingerprint.sh [BIN] > before.txt
set -euo pipefail

bin=$(cd "${1:-build/bin}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
# The same folder every time: the reports hold the paths they wrote.
work=${QUORVEX_FINGERPRINT_DIR:-/tmp/quorvex-fingerprint}
rm -rf "$work"
mkdir -p "$work/program"

source "$root/scripts/sandbox.sh"
trap 'kill ${sandbox_pid:-} 2>/dev/null || true' EXIT
start_sandbox "$bin" "$work/sandbox.log" --shared-pictures --write-list "$work/shared-list.txt"
proxy="http://127.0.0.1:$sandbox_port"
printf 'a^b\n' >"$work/program/re.txt"

run() {
  local name=$1 list=$2 format=$3
  shift 3
  mkdir -p "$work/$name"
  "$bin/quorvex-cli" export --list "$list" --out "$work/$name/goods.csv" --format "$format" \
    --proxy "$proxy" --program-dir "$work/program" --report "$work/$name/report.json" "$@" \
    >/dev/null 2>"$work/$name/stderr.txt" || true
  # Progress lines come in the order the items finish; the rest is fixed.
  grep -v '正在下载' "$work/$name/stderr.txt" >"$work/$name/summary.txt" || true
  rm "$work/$name/stderr.txt"
}

for format in tb4 tb5 paipai; do
  run "$format" "$root/sandbox/data/sample-list.txt" "$format"
  run "$format-options" "$root/sandbox/data/sample-list.txt" "$format" --rules --watermark --strip-links \
    --seller quorvex_demo --price-percent 12.5 --price-decimals 2 --stock 7
  run "$format-shared" "$work/shared-list.txt" "$format" --watermark
done

# The import files hold the time of the run ("yyyy-MM-dd hh:mm:ss"): it is hashed as a fixed
# text, in the file's own encoding (UTF-16LE with its BOM, or GBK).
cd "$work"
find . -path ./program -prune -o -type f ! -name sandbox.log ! -name shared-list.txt -print0 | sort -z |
  python3 -c '
import hashlib, re, sys
stamp = rb"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d"
for name in sys.stdin.buffer.read().split(b"\0"):
    if not name:
        continue
    data = open(name, "rb").read()
    if name.endswith(b".csv"):
        if data.startswith(b"\xff\xfe"):
            text = data.decode("utf-16-le")
            data = re.sub(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d", "TIME", text).encode("utf-16-le")
        else:
            data = re.sub(stamp, b"TIME", data)
    print(hashlib.md5(data).hexdigest() + "  " + name.decode())
'
