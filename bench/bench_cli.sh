#!/usr/bin/env bash
# The terminal subcommands' latency (bench/tools/cli_bench.py).
# Usage: bench/bench_cli.sh build/release [sessions] [runs]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
/usr/bin/python3 "$here/tools/cli_bench.py" "${1:-build/release}" "${2:-100}" "${3:-30}"
