#!/bin/sh
# Regenerates docs/sprites.png: every agent's creature in every activity, both
# frames, drawn offscreen (no display needed).
set -eu
cd "$(dirname "$0")/.."
cmake --preset debug >/dev/null
cmake --build --preset debug --target vorla-sprite-sheet
QT_QPA_PLATFORM=offscreen build/debug/tools/vorla-sprite-sheet docs/sprites.png
echo "wrote docs/sprites.png"
