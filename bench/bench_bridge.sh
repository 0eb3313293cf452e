#!/usr/bin/env bash
# vorla-bridge start-to-exit against the peers a hook could be written in.
# Usage: bench/bench_bridge.sh build/release [runs]
set -euo pipefail
build=${1:-build/release}
"$build/bench/bridge_bench" "$build/src/bridge/vorla-bridge" "$build/bench/min_client" "$build/bench/maxrss" "${2:-300}"
