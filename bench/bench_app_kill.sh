#!/usr/bin/env bash
# How long bridges waiting on a gate take to exit after the application is
# killed outright (SIGKILL): starts `vorla-agents --headless` in a temporary
# HOME, N bridges (default 100) each asking about a Write, waits until all N
# gates are pending, kills the app and times until the last bridge has exited.
# Usage: bench/bench_app_kill.sh build/release [N] [rounds]
set -euo pipefail
build=${1:-build/release}
count=${2:-100}
rounds=${3:-5}
app=$build/src/app/vorla-agents
bridge=$build/src/bridge/vorla-bridge
work=$(mktemp -d /tmp/vorla-kill-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

pending() {
  python3 -c 'import json,sys
try: print(len(json.load(open(sys.argv[1]))["pending"]))
except Exception: print(0)' "$1"
}

for round in $(seq "$rounds"); do
  home=$work/home-$round
  mkdir -p "$home"
  HOME=$home "$app" --headless 2>/dev/null &
  app_pid=$!
  until [[ -S $home/.vorla-agents/run/vorla.sock ]]; do sleep 0.01; done
  pids=()
  for i in $(seq "$count"); do
    printf '{"hook_event_name":"PermissionRequest","session_id":"s%d","cwd":"/w","tool_name":"Write","tool_input":{"file_path":"/w/%d"}}' \
      "$i" "$i" | HOME=$home "$bridge" --source claude >/dev/null &
    pids+=($!)
  done
  until [[ $(pending "$home/.vorla-agents/run/state.json") == "$count" ]]; do sleep 0.05; done
  start=$(date +%s%N)
  kill -KILL "$app_pid"
  failed=0
  for pid in "${pids[@]}"; do wait "$pid" || failed=$((failed + 1)); done
  end=$(date +%s%N)
  wait "$app_pid" 2>/dev/null || true
  awk -v r="$round" -v n="$count" -v ns=$((end - start)) -v f="$failed" 'BEGIN {
    printf "round %d: %d bridges exited %.1f ms after SIGKILL (%d with a non-zero status)\n", r, n, ns / 1e6, f }'
done
