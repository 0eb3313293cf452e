#!/bin/sh
# Processor time of animated sprites: four sessions at the island's size for
# SECONDS (default 60), then no sprite at all as the baseline.
# Usage: bench/sprite_cpu.sh [PRESET] [SECONDS]   (PRESET: release or debug)
set -eu
cd "$(dirname "$0")/.."
preset=${1:-release}
seconds=${2:-60}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target vorla-sprite-cpu >/dev/null
tool=build/$preset/tools/vorla-sprite-cpu
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
"$tool" "$seconds" idle thinking reading shell
"$tool" "$seconds" needsApproval error done question
"$tool" "$seconds"
