#!/usr/bin/env bash
# Installs the npm packages the tests need, pinned, into build/ (outside git):
# playwright-core for the browser test into build/node, and the real agent
# CLIs the contract tests drive into build/agents. Quiet and quick when they
# are already there; a failed install exits non-zero so `make test` stops.
set -euo pipefail
cd "$(dirname "$0")/.."

# Installs the `name@version` packages into `dir` unless each is there already.
install_pinned() {
  local dir=$1
  shift
  local want missing=()
  for want in "$@"; do
    local pkg=${want%@*} version=${want##*@}
    local manifest="$dir/node_modules/$pkg/package.json"
    if ! [[ -f $manifest ]] || ! grep -q "\"version\": \"$version\"" "$manifest"; then
      missing+=("$want")
    fi
  done
  ((${#missing[@]})) || return 0
  mkdir -p "$dir"
  echo "Installing ${missing[*]} into $dir"
  npm install --prefix "$dir" --no-audit --no-fund --silent "$@"
}

# playwright-core drives the system's Chromium; it never downloads a browser.
PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 install_pinned build/node "playwright-core@1.65.2"

# The agents ship their native programs inside registry packages (optional
# dependencies per platform), so nothing else is downloaded.
# @opencode-ai/plugin, pinned to OpenCode's own version, is what OpenCode
# would otherwise install with npm into its config folder before it loads a
# plugin (a long wait offline); the contract tests point it at this copy.
install_pinned build/agents "@openai/codex@0.171.0" "@anthropic-ai/claude-code@2.1.332" \
  "@google/gemini-cli@0.61.0" "@github/copilot@1.0.102" "@qwen-code/qwen-code@0.24.4" \
  "opencode-ai@1.18.33" "@opencode-ai/plugin@1.18.33"
# Copilot unpacks its runtime (about 235 MB) into its cache folder on its first
# run: here, once, into the folder the contract tests point it at.
export COPILOT_CACHE_HOME=$PWD/build/agents/copilot-cache
for bin in codex claude gemini copilot qwen opencode; do
  if ! build/agents/node_modules/.bin/$bin --version >/dev/null 2>&1; then
    echo "install-node-deps: build/agents/node_modules/.bin/$bin does not run" >&2
    exit 1
  fi
done
