# Sourced by the scripts that run the programs against quorvex-sandbox.
#
# start_sandbox BIN LOG [OPTION]...: starts BIN/quorvex-sandbox on a free loopback port with
# the options, its output in LOG, and waits until it reports the port. Sets sandbox_pid and
# sandbox_port; on failure prints the log and returns 1. The caller stops it (its EXIT trap).
start_sandbox() {
  local bin=$1 log=$2
  shift 2
  "$bin/quorvex-sandbox" --port 0 --quiet "$@" >"$log" 2>&1 &
  sandbox_pid=$!
  sandbox_port=""
  for _ in $(seq 1 100); do
    sandbox_port=$(sed -n 's/^quorvex-sandbox listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$log")
    [ -n "$sandbox_port" ] && return 0
    sleep 0.1
  done
  echo "quorvex-sandbox did not start:" >&2
  cat "$log" >&2
  return 1
}
