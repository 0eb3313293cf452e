#!/bin/sh
# Pictures of the island for the README, taken from the real app on Xvfb with
# a compositor: collapsed with sessions, the session panel, a gate card and a
# boss card. Usage: scripts/screenshots.sh [build dir]   (default build/debug)
set -eu
BUILD=${1:-build/debug}
APP=$BUILD/src/app/vorla-agents
BRIDGE=$BUILD/src/bridge/vorla-bridge
OUT=docs
for tool in Xvfb xcompmgr xdotool import convert; do
  command -v $tool >/dev/null || { echo "screenshots: $tool is missing (scripts/install-deps.sh)"; exit 1; }
done
[ -x "$APP" ] || { echo "screenshots: build $APP first"; exit 1; }

TMP=$(mktemp -d)
XVFB=; COMPOSITOR=; APP_PID=
cleanup() {
  for pid in $APP_PID $COMPOSITOR $XVFB; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$TMP"
}
trap cleanup EXIT INT TERM

Xvfb -displayfd 3 -screen 0 1512x982x24 -noreset -nolisten tcp 3>"$TMP/display" 2>/dev/null &
XVFB=$!
until [ -s "$TMP/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$TMP/display")"
xcompmgr 2>/dev/null &
COMPOSITOR=$!
export HOME="$TMP/home"
mkdir -p "$HOME"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY XDG_SESSION_TYPE VORLA_REMOTE

# Waits until the island's width is $1 (e.g. 524) or anything but "" for "up".
island_width() { xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null | head -1 |
  xargs -r xdotool getwindowgeometry --shell 2>/dev/null | sed -n 's/^WIDTH=//p'; }
wait_width() {
  i=0
  while [ $i -lt 300 ]; do
    w=$(island_width)
    if [ -n "$w" ] && { [ "$1" = any ] || [ "$w" = "$1" ]; }; then return 0; fi
    sleep 0.1; i=$((i + 1))
  done
  echo "screenshots: the island never became $1 wide"; exit 1
}
start_app() {
  "$APP" 2>>"$TMP/app.log" &
  APP_PID=$!
  wait_width any
}
stop_app() { kill "$APP_PID"; wait "$APP_PID" 2>/dev/null || true; APP_PID=; }
send() {  # send <agent> <session> <event> [tool] [command]
  printf '{"hook_event_name":"%s","session_id":"%s","cwd":"%s","tool_name":"%s","tool_input":{"command":"%s"}}' \
    "$3" "$2" "$HOME/code/$2" "${4:-}" "${5:-}" | "$BRIDGE" --source "$1" >/dev/null
}
# shot <name> <width> <height>: the top centre of the screen, doubled.
shot() {
  sleep 0.6  # the 0.28 s layout animation and a sprite frame
  x=$(( (1512 - $2) / 2 ))
  import -window root -crop "$2x$3+$x+0" "$TMP/shot.png"
  convert "$TMP/shot.png" +repage -scale 200% "$OUT/$1.png"
  echo "wrote $OUT/$1.png"
}

mkdir -p "$OUT"
# Hooks in place, so the first-run settings window stays closed.
"$APP" hooks install claude >/dev/null
start_app
send claude api SessionStart
send claude api PreToolUse Bash "npm test"
send codex web UserPromptSubmit
send grok docs PreToolUse Read ""
wait_width any
shot island-collapsed 420 70

xdotool mousemove 756 12
wait_width 524
shot island-sessions 600 420
xdotool mousemove 756 700

send claude api PermissionRequest Bash "npm run build -- --watch" &
wait_width 524
shot island-gate 600 360
stop_app

start_app
send claude api SessionStart
send claude api PermissionRequest Bash "rm -rf ./build ~/.cache/api" &
wait_width 524
shot island-boss 600 380
stop_app
