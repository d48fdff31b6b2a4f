#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build (configured with -DQUORVEX_FUZZ=ON) for a set time and
# fails on any finding: a crash, a sanitizer report, a broken property, an input that takes
# longer than FUZZ_TIMEOUT seconds (libFuzzer's -timeout) or memory above FUZZ_RSS_MB.
#
#   scripts/fuzz.sh BUILD_DIR [SECONDS]
#
# Environment: FUZZ_TARGETS (names, default every target), FUZZ_PARALLEL (targets run at
# once, default 1), FUZZ_TIMEOUT (default 1), FUZZ_MAX_LEN (default 65536), FUZZ_RSS_MB
# (default 2048), FUZZ_FLAGS (more libFuzzer options). fuzz/dicts/TARGET.dict is passed
# as the target's dictionary.
#
# Seeds are written from the sandbox's data into BUILD_DIR/fuzz/seeds on every run; what
# libFuzzer finds is kept in BUILD_DIR/fuzz/corpus (so later runs start from it), the inputs
# of findings in BUILD_DIR/fuzz/findings, each target's log in BUILD_DIR/fuzz/logs.
set -euo pipefail

build=${1:?usage: scripts/fuzz.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
timeout=${FUZZ_TIMEOUT:-1}
max_len=${FUZZ_MAX_LEN:-65536}
rss_mb=${FUZZ_RSS_MB:-2048}
parallel=${FUZZ_PARALLEL:-1}
root=$(cd "$(dirname "$0")/.." && pwd)
fuzz=$(cd "$build" && pwd)/fuzz

if [ ! -f "$fuzz/targets.txt" ]; then
  echo "fuzz: $build is not a fuzz build (configure it with -DQUORVEX_FUZZ=ON)" >&2
  exit 2
fi
read -r -a targets <<<"${FUZZ_TARGETS:-$(tr '\n' ' ' <"$fuzz/targets.txt")}"

python3 "$root/scripts/fuzz-seeds.py" "$fuzz/tools.txt" "$fuzz/seeds" >/dev/null
mkdir -p "$fuzz/corpus" "$fuzz/findings" "$fuzz/logs"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/fuzz/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen

run_target() {
  local target=$1
  local binary="$fuzz/bin/$target"
  if [ ! -x "$binary" ]; then
    echo "fuzz: no such target: $target" >&2
    return 2
  fi
  mkdir -p "$fuzz/corpus/$target"
  local options=(-max_total_time="$seconds" -max_len="$max_len" -timeout="$timeout" -rss_limit_mb="$rss_mb"
    -malloc_limit_mb="$rss_mb" -print_final_stats=1 -artifact_prefix="$fuzz/findings/$target-")
  if [ -f "$root/fuzz/dicts/$target.dict" ]; then
    options+=(-dict="$root/fuzz/dicts/$target.dict")
  fi
  # The corpus folder comes first: new units go there; the seeds are only read.
  # shellcheck disable=SC2086 # FUZZ_FLAGS is a list of options
  "$binary" "${options[@]}" ${FUZZ_FLAGS:-} "$fuzz/corpus/$target" "$fuzz/seeds/$target" \
    >"$fuzz/logs/$target.log" 2>&1
}

# The figures libFuzzer printed last: executions, coverage, corpus size.
summarise() {
  local target=$1 status=$2 log="$fuzz/logs/$1.log"
  local runs cov corp
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -Eo 'cov: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)
  corp=$(grep -Eo 'corp: [0-9]+/[0-9]+[a-zA-Z]*' "$log" | tail -1 | cut -d' ' -f2)
  printf '%-26s %-8s %12s %8s %14s\n' "$target" "$status" "${runs:--}" "${cov:--}" "${corp:--}"
}

for target in "${targets[@]}"; do
  rm -f "$fuzz/logs/$target.status"
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do
    wait -n || true
  done
  echo "fuzz: $target for ${seconds}s"
  (
    set +e
    run_target "$target"
    echo $? >"$fuzz/logs/$target.status"
  ) &
done
wait

declare -A results=()
failed=0
for target in "${targets[@]}"; do
  if [ "$(cat "$fuzz/logs/$target.status" 2>/dev/null)" = 0 ]; then
    results[$target]=clean
  else
    results[$target]=FINDING
    failed=1
  fi
done

{
  echo "fuzz: ${seconds}s per target, -timeout=$timeout -max_len=$max_len -rss_limit_mb=$rss_mb"
  printf '%-26s %-8s %12s %8s %14s\n' target result executions coverage corpus
  for target in "${targets[@]}"; do
    summarise "$target" "${results[$target]}"
  done
} | tee "$fuzz/summary.txt"

if [ "$failed" -ne 0 ]; then
  for target in "${targets[@]}"; do
    if [ "${results[$target]}" != clean ]; then
      echo
      echo "==== $target (log: $fuzz/logs/$target.log)"
      grep -E 'ERROR|SUMMARY|property broken|Test unit written|timeout|out-of-memory' "$fuzz/logs/$target.log" | head -20 || true
    fi
  done
  echo "fuzz: findings above; their inputs are in $fuzz/findings" >&2
  exit 1
fi
