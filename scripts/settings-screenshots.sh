#!/bin/sh
# Pictures of the ten settings pages for the README, taken from the real app
# on Xvfb over a temporary HOME filled with a working day
# (scripts/settings_seed.py): hooks installed, live sessions in git worktrees,
# phone approvals on. Each page is opened the way a user opens it, by a second
# start of the app, on the tab VORLA_TAB names.
# Usage: scripts/settings-screenshots.sh [build dir]   (default build/debug)
set -eu
BUILD=${1:-build/debug}
APP=$BUILD/src/app/vorla-agents
BRIDGE=$BUILD/src/bridge/vorla-bridge
OUT=docs
for tool in Xvfb xdotool import git python3; do
  command -v $tool >/dev/null || { echo "settings-screenshots: $tool is missing (scripts/install-deps.sh)"; exit 1; }
done
[ -x "$APP" ] || { echo "settings-screenshots: build $APP first"; exit 1; }
APP=$(realpath "$APP")
BRIDGE=$(realpath "$BRIDGE")

TMP=$(mktemp -d)
XVFB=; APP_PID=
cleanup() {
  for pid in $APP_PID $XVFB; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$TMP"
}
trap cleanup EXIT INT TERM

# Local time in the middle of an afternoon, whatever the hour here, so the
# day's timeline has a morning to show.
UTC_HOUR=$(date -u +%-H)
SHIFT=$(( (15 - UTC_HOUR + 24) % 24 ))
[ $SHIFT -gt 12 ] && SHIFT=$((SHIFT - 24))
export TZ="LOC$(( -SHIFT ))"

Xvfb -displayfd 3 -screen 0 1280x900x24 -noreset -nolisten tcp 3>"$TMP/display" 2>/dev/null &
XVFB=$!
until [ -s "$TMP/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$TMP/display")"
export HOME="$TMP/home"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY XDG_SESSION_TYPE XDG_CONFIG_HOME CLAUDE_CONFIG_DIR CODEX_HOME
export VORLA_REMOTE=1 VORLA_REMOTE_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("",0)); print(s.getsockname()[1])')
mkdir -p "$HOME/.claude" "$HOME/.codex"
python3 "$(dirname "$0")/settings_seed.py" "$HOME"
"$APP" hooks install claude >/dev/null
"$APP" hooks install codex >/dev/null

send() {  # send <agent> <session> <project folder>
  printf '{"hook_event_name":"SessionStart","session_id":"%s","cwd":"%s"}' "$2" "$HOME/code/$3" |
    "$BRIDGE" --source "$1" >/dev/null
}
settings_window() {
  for id in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
    if xdotool getwindowgeometry --shell "$id" 2>/dev/null | grep -qx 'WIDTH=920'; then
      echo "$id"; return 0
    fi
  done
  return 1
}

mkdir -p "$OUT"
for tab in Agents Rules Worktrees Scores Improve Activity Today Usage Phone Setup; do
  VORLA_TAB=$tab "$APP" >>"$TMP/app.log" 2>&1 &
  APP_PID=$!
  i=0
  until xdotool search --onlyvisible --pid "$APP_PID" >/dev/null 2>&1; do
    i=$((i + 1)); [ $i -lt 300 ] || { echo "settings-screenshots: the app did not start"; cat "$TMP/app.log"; exit 1; }
    sleep 0.1
  done
  send claude c1 shop-checkout
  send claude c2 shop-search
  send codex x1 api
  send grok g1 docs
  "$APP" >>"$TMP/app.log" 2>&1  # a second start opens the settings window
  i=0
  until WINDOW=$(settings_window); do
    i=$((i + 1)); [ $i -lt 300 ] || { echo "settings-screenshots: no settings window"; cat "$TMP/app.log"; exit 1; }
    sleep 0.1
  done
  sleep 1.5  # background reads (transcripts, git, context files) and their repaint
  if [ "$tab" = Today ]; then  # open the first project's changed files
    xdotool mousemove --window "$WINDOW" 864 211 click 1
    sleep 1
  fi
  name=$(echo "$tab" | tr '[:upper:]' '[:lower:]')
  import -window "$WINDOW" "$OUT/settings-$name.png"
  echo "wrote $OUT/settings-$name.png"
  kill "$APP_PID"; wait "$APP_PID" 2>/dev/null || true; APP_PID=
done
