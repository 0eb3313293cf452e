#!/usr/bin/env bash
# The desktop app on real Wayland compositors running headless: sway, KWin and
# GNOME Shell (whichever are installed: scripts/install-deps.sh desktops). For
# each, as an unprivileged user (sway refuses root) on a private session bus:
# the app chooses XWayland, its island hangs at the top centre (under GNOME's
# top bar), stays above a window that fills the screen while a gate waits, and
# a real pointer click on Allow answers the waiting bridge. A screenshot of each lands in the work folder.
#
#   tests/desktops/run.sh [sway] [kwin] [gnome]     (make test-desktops)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
app=${VORLA_APP:-$root/build/debug/src/app/vorla-agents}
bridge=${VORLA_BRIDGE:-$root/build/debug/src/bridge/vorla-bridge}
width=1280
height=720

# ---- inside: one desktop, as the unprivileged user, on its own bus --------
if [[ "${1:-}" == --inside ]]; then
  desktop=$2
  work=$3
  export HOME=$work/home XDG_RUNTIME_DIR=$work/run XDG_SESSION_TYPE=wayland
  unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM SWAYSOCK
  pids=()
  stopAll() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
  trap stopAll EXIT
  fail() { echo "$desktop: FAIL: $*" >&2; exit 1; }
  waitfor() {  # seconds, command...
    local tries=$(($1 * 10)); shift
    for ((i = 0; i < tries; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
  }

  case $desktop in
    sway)
      export XDG_CURRENT_DESKTOP=sway
      cat > "$work/sway.cfg" <<CFG
output HEADLESS-1 mode ${width}x${height} position 0,0 bg #204060 solid_color
default_border none
xwayland force
exec env > $work/session.env
CFG
      WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
        sway -c "$work/sway.cfg" > "$work/compositor.log" 2>&1 &
      pids+=($!)
      waitfor 20 test -s "$work/session.env" || fail "sway did not start: $(tail -3 "$work/compositor.log")"
      sleep 0.5
      for v in DISPLAY WAYLAND_DISPLAY SWAYSOCK; do
        export "$(grep "^$v=" "$work/session.env")"
      done
      # Headless sway has no pointer device (its seat offers clients no
      # pointer), so the click goes in through XWayland's XTEST.
      click() { xdotool mousemove "$1" "$2" click 1; }
      shot() { grim "$1"; }
      ;;
    kwin)
      export XDG_CURRENT_DESKTOP=KDE KWIN_WAYLAND_NO_PERMISSION_CHECKS=1
      # kwin_wayland carries a file capability that an unprivileged user in
      # a container may not gain: a plain copy runs.
      cp "$(command -v kwin_wayland)" "$work/kwin_wayland"
      # KWin starts the programs after its options once XWayland is up: one
      # of them tells us the session's variables.
      "$work/kwin_wayland" --virtual --width $width --height $height --xwayland --no-lockscreen \
        --socket wl-vorla "sh -c 'env > $work/session.env'" > "$work/compositor.log" 2>&1 &
      pids+=($!)
      waitfor 30 test -s "$work/session.env" || fail "kwin did not start: $(tail -3 "$work/compositor.log")"
      sleep 1
      for v in DISPLAY WAYLAND_DISPLAY; do
        export "$(grep "^$v=" "$work/session.env")"
      done
      click() { xdotool mousemove "$1" "$2" click 1; }
      # Rootless XWayland has no root picture: the island's own window.
      shot() { import -window "$(xdotool search --onlyvisible --pid "$apppid" | head -1)" "$1"; }
      shotOfIsland=1
      ;;
    gnome)
      export XDG_CURRENT_DESKTOP=GNOME
      # The Shell dies without a system bus (its login manager): a private one.
      dbus-daemon --session --address="unix:path=$work/run/system-bus" --nofork --nopidfile \
        > "$work/system-bus.log" 2>&1 &
      pids+=($!)
      waitfor 10 test -S "$work/run/system-bus" || fail "no private system bus"
      export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/run/system-bus"
      # --unsafe-mode lets Eval read XWayland's variables and the top bar's height.
      gnome-shell --wayland --headless --virtual-monitor ${width}x${height} --unsafe-mode \
        --wayland-display=wl-vorla > "$work/compositor.log" 2>&1 &
      pids+=($!)
      shellEval() {
        gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
          --method org.gnome.Shell.Eval "$1" | sed -E "s/^\(true, '\"?([^\"']*)\"?'\)$/\1/"
      }
      waitfor 60 sh -c "gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Eval 'global.display ? 1 : 0' | grep -q \"'1'\"" \
        || fail "gnome-shell did not start: $(tail -3 "$work/compositor.log")"
      # The Shell opens its overview when it starts (which hides X windows)
      # and shows a banner about the screen lock under the top bar.
      waitfor 20 sh -c "gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Eval 'Main.layoutManager._startingUp ? 0 : 1' | grep -q \"'1'\""
      shellEval 'Main.messageTray.bannerBlocked = true; Main.overview.hide(); 1' > /dev/null
      waitfor 10 sh -c "gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Eval 'Main.overview.visible ? 0 : 1' | grep -q \"'1'\""
      sleep 0.5
      export WAYLAND_DISPLAY=wl-vorla
      export DISPLAY="$(shellEval 'imports.gi.GLib.getenv("DISPLAY")')"
      export XAUTHORITY="$(shellEval 'imports.gi.GLib.getenv("XAUTHORITY")')"
      top=$(shellEval 'Main.panel.height')
      [[ "$top" =~ ^[0-9]+$ && $top -gt 0 ]] || fail "no top bar height: $top"
      click() { xdotool mousemove "$1" "$2" click 1; }
      shot() {
        gdbus call --session --dest org.gnome.Shell.Screenshot --object-path /org/gnome/Shell/Screenshot \
          --method org.gnome.Shell.Screenshot.Screenshot false false "$1" > /dev/null
      }
      ;;
    *) fail "unknown desktop" ;;
  esac

  "$app" hooks install claude > /dev/null
  "$app" > "$work/app.log" 2>&1 &
  apppid=$!
  pids+=("$apppid")
  waitfor 30 test -S "$HOME/.vorla-agents/run/vorla.sock" || fail "app did not come up: $(cat "$work/app.log")"
  grep -q "running through XWayland" "$work/app.log" || fail "no XWayland choice in the log: $(cat "$work/app.log")"

  island() {  # x y width height of the island's window
    local id
    id=$(xdotool search --onlyvisible --pid "$apppid" 2>/dev/null | head -1)
    [[ -n "$id" ]] || return 1
    xwininfo -id "$id" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
      /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
  }
  waitfor 20 island || fail "no island window"
  read -r x y w h < <(island)
  [[ $y -eq ${top:-0} && $((x + w / 2)) -eq $((width / 2)) ]] || fail "island at $x,$y size ${w}x$h"

  # A window that fills the screen, opened after the island.
  xmessage -geometry ${width}x${height}+0+0 "a window over everything" &
  pids+=($!)
  sleep 1

  payload='{"hook_event_name":"PermissionRequest","session_id":"s1","cwd":"/work/shop",
            "tool_name":"Bash","tool_input":{"command":"git push origin main"}}'
  (echo "$payload" | "$bridge" --source claude > "$work/answer.json") &
  asker=$!
  waitfor 20 sh -c "xwininfo -id \$(xdotool search --onlyvisible --pid $apppid | head -1) | grep -q 'Width: 524'" \
    || fail "the island did not open for the gate"
  sleep 0.6  # the open animation
  read -r x y w h < <(island)
  shot "$work/$desktop.png"
  # The Allow button's green, in the bottom 70 pixels of the island.
  if [[ -n "${shotOfIsland:-}" ]]; then crop="${w}x70+0+$((h - 70))"; else crop="${w}x70+${x}+$((y + h - 70))"; fi
  box=$(convert "$work/$desktop.png" -crop "$crop" +repage \
        -fill black -fuzz 6% +opaque '#8ce88c' -trim info:- 2>/dev/null | awk '{split($4, page, "+"); print $3 "+" page[2] "+" page[3]}')
  [[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "no Allow button on the screen (covered?)"
  bw=${BASH_REMATCH[1]}; bh=${BASH_REMATCH[2]}; bx=${BASH_REMATCH[3]}; by=${BASH_REMATCH[4]}
  [[ $bw -gt 40 ]] || fail "Allow button only ${bw} wide"
  [[ -n "${VORLA_DEBUG:-}" ]] && echo "click at $((x + bx + bw / 2)),$((y + h - 70 + by + bh / 2)) box $box" >&2
  click $((x + bx + bw / 2)) $((y + h - 70 + by + bh / 2))
  for ((i = 0; i < 100; i++)); do kill -0 $asker 2>/dev/null || break; sleep 0.1; done
  grep -q '"behavior":"allow"' "$work/answer.json" || fail "the bridge got: $(cat "$work/answer.json")"
  echo "$desktop: ok (island at $x,$y above a full-screen window; Allow clicked)"
  exit 0
fi

# ---- outside: root prepares a folder per desktop for the user ------------
[[ -x "$app" && -x "$bridge" ]] || { echo "build first: $app, $bridge" >&2; exit 1; }
desktops=("$@")
if [[ ${#desktops[@]} -eq 0 ]]; then
  command -v sway > /dev/null && desktops+=(sway)
  command -v kwin_wayland > /dev/null && desktops+=(kwin)
  command -v gnome-shell > /dev/null && desktops+=(gnome)
fi
[[ ${#desktops[@]} -gt 0 ]] || { echo "no compositor installed: scripts/install-deps.sh desktops" >&2; exit 1; }

# XWayland, started by the unprivileged user, cannot make the X socket
# folder itself; and KWin refuses one without the sticky bit.
if [[ $(id -u) -eq 0 && ! -d /tmp/.X11-unix ]]; then
  mkdir -m 1777 /tmp/.X11-unix
fi

status=0
for desktop in "${desktops[@]}"; do
  work=$(mktemp -d "/tmp/vorla-desktop-$desktop.XXXXXX")
  mkdir -p "$work/home" "$work/run"
  chmod 700 "$work/run"
  if [[ $(id -u) -eq 0 ]]; then
    chown -R nobody:nogroup "$work"
    as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  else
    as=()
  fi
  if ! "${as[@]}" dbus-run-session -- "$0" --inside "$desktop" "$work"; then
    status=1
    echo "$desktop: logs in $work" >&2
  else
    echo "$desktop: screenshot $work/$desktop.png"
  fi
done
exit $status
