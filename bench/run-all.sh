#!/usr/bin/env bash
# Runs every benchmark: the Google Benchmark programs built from bench/*.cpp,
# then every bench/bench_*.sh script. Usage: bench/run-all.sh build/release
set -euo pipefail
build=${1:-build/release}
here=$(cd "$(dirname "$0")" && pwd)
for source in "$here"/*.cpp; do
  [[ -e "$source" ]] || continue
  name=$(basename "$source" .cpp)
  echo "== $name"
  "$build/bench/$name" --benchmark_min_time=0.2
done
for script in "$here"/bench_*.sh; do
  [[ -e "$script" ]] || continue
  echo "== $(basename "$script")"
  "$script" "$build"
done
