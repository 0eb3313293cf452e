#!/usr/bin/env bash
# Installs the npm packages the browser test needs into build/node (outside
# git). Quiet and quick when they are already there.
set -euo pipefail
cd "$(dirname "$0")/.."

# playwright-core drives the system's Chromium; it never downloads a browser.
want="playwright-core@1.65.2"
dir=build/node
if [[ -f "$dir/node_modules/playwright-core/package.json" ]] &&
   grep -q "\"version\": \"${want#*@}\"" "$dir/node_modules/playwright-core/package.json"; then
  exit 0
fi
mkdir -p "$dir"
echo "Installing $want into $dir"
PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm install --prefix "$dir" --no-audit --no-fund --silent "$want"
