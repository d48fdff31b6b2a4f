#!/usr/bin/env bash
# The main job on the built-in sandbox: start quorvex-sandbox on a free loopback port,
# read one item and look up one seller through it, then export the sample item list to a
# Taobao Assistant 5.x file with its picture folder.
set -euo pipefail

bin=${1:-build/bin}
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/out/demo"
rm -rf "$out"
mkdir -p "$out/program"

source "$root/scripts/sandbox.sh"
trap 'kill ${sandbox_pid:-} 2>/dev/null || true' EXIT
start_sandbox "$bin" "$out/sandbox.log"
proxy="http://127.0.0.1:$sandbox_port"
echo "quorvex-sandbox answers on $proxy"
echo

code=0C7D360B00000000040100000CC1B772
fields=itemName,itemPrice,stockCount,provinceId,cityId,picLink
echo "== quorvex-cli item --code $code --fields $fields"
"$bin/quorvex-cli" item --code "$code" --fields "$fields" --proxy "$proxy" --program-dir "$out/program" \
  | tr '\t' '\n' | paste -d' ' <(tr ',' '\n' <<<"$fields" | sed 's/$/:/') -
echo

echo "== quorvex-cli seller --nick quorvex_demo --select 0,3"
"$bin/quorvex-cli" seller --nick quorvex_demo --select 0,3 --proxy "$proxy" --program-dir "$out/program"
echo

echo "== quorvex-cli export --format tb5 (the sample shop's item list)"
status=0
"$bin/quorvex-cli" export --list "$root/sandbox/data/sample-list.txt" --out "$out/goods.csv" --format tb5 \
  --proxy "$proxy" --program-dir "$out/program" --report "$out/report.json" 2>"$out/export.log" || status=$?
grep -v '正在下载' "$out/export.log" || true
echo
echo "import file:    $out/goods.csv ($(stat -c %s "$out/goods.csv") bytes)"
echo "picture folder: $out/goods ($(find "$out/goods" -type f | wc -l) files)"
echo "report:         $out/report.json"
echo "exit status:    $status (1: some items or pictures failed, as the sample shop is made to)"
