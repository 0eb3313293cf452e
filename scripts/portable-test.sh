#!/usr/bin/env bash
# Unpacks the portable tarball into a clean Debian root of SUITE that holds only
# what every desktop has (X, GL, font and D-Bus client libraries) and uses it:
# --version, `hooks install claude`, a bridge round trip against --headless,
# and the desktop app showing its island on an X server (Xvfb outside the
# root, its socket bound in). Needs root. Usage: scripts/portable-test.sh TARBALL SUITE
set -euo pipefail

tarball=$(realpath "${1:?usage: portable-test.sh vorla-agents-VERSION-x86_64.tar.gz SUITE}")
suite=${2:?usage: portable-test.sh TARBALL SUITE}
source "$(dirname "$0")/debian-root.sh"

step() { printf '== %s\n' "$*"; }
fail() { printf 'portable test FAILED (%s): %s\n' "$suite" "$*" >&2; exit 1; }
[[ $(id -u) -eq 0 ]] || fail "needs root for debootstrap and chroot"

desktop_libs=(libx11-6 libx11-xcb1 libxcb1 libxcb-glx0 libxcb-randr0 libxcb-render0 libxcb-shape0
    libxcb-shm0 libxcb-sync1 libxcb-xfixes0 libxcb-xinerama0 libxcb-xinput0 libxcb-xkb1 libxext6 libxfixes3 libxi6
    libxrender1 libxkbcommon0 libxkbcommon-x11-0 libgl1 libegl1 libopengl0 libwayland-client0 libwayland-cursor0 libwayland-egl1
    libfontconfig1 libfreetype6 fonts-dejavu-core libdbus-1-3)

root=$(mktemp -d /tmp/vorla-portroot.XXXXXX)
app="" xvfb=""
cleanup() {
    [[ -n $app ]] && kill -KILL "$app" 2>/dev/null && wait "$app" 2>/dev/null
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    debian_root_release "$root"
    rm -rf "$root"
}
trap cleanup EXIT
debian_root_unpack "$suite" "$root" || fail "debootstrap $suite"
step "a $suite root with only a desktop's client libraries"
debian_root_apt_install "$root" "${desktop_libs[@]}" || fail "apt-get install"
in_root() { in_debian_root "$root" "$@"; }

step "unpack $(basename "$tarball") under /opt"
tar -C "$root/opt" -xzf "$tarball"
top=/opt/$(basename "$tarball" .tar.gz)
in_root "$top/bin/vorla-agents" --version | grep -q '^vorla-agents ' || fail "--version"
for program in bin/vorla-agents libexec/vorla-agents/vorla-agents-app; do
    missing=$(in_root ldd "$top/$program" | grep 'not found' || true)
    [[ -z $missing ]] || fail "$program misses libraries: $missing"
done
for plugin in platforms/libqxcb.so xcbglintegrations/libqxcb-glx-integration.so; do
    missing=$(in_root sh -c "LD_LIBRARY_PATH=$top/lib ldd $top/plugins/$plugin" | grep 'not found' || true)
    [[ -z $missing ]] || fail "$plugin misses: $missing"
done

step "install.sh, hooks install claude (temporary HOME)"
mkdir -p "$root/tmp/home"
in_root env HOME=/tmp/home "$top/install.sh" >/dev/null
grep -q "^Exec=$top/bin/vorla-agents\$" "$root/usr/local/share/applications/vorla-agents.desktop" ||
    fail "the menu entry does not start $top/bin/vorla-agents"
[[ $(readlink "$root/usr/local/bin/vorla-agents") == "$top/bin/vorla-agents" ]] || fail "no vorla-agents in /usr/local/bin"
in_root env HOME=/tmp/home /usr/local/bin/vorla-agents hooks install claude >/dev/null
in_root cmp /tmp/home/.vorla-agents/bin/vorla-bridge "$top/libexec/vorla-agents/vorla-bridge" ||
    fail "the staged bridge is not the bundled one"

step "bridge round trip against vorla-agents --headless"
chroot "$root" /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin HOME=/tmp/home vorla-agents --headless \
    >"$root/tmp/app.log" 2>&1 &
app=$!
for _ in $(seq 100); do [[ -S $root/tmp/home/.vorla-agents/run/vorla.sock ]] && break; sleep 0.1; done
[[ -S $root/tmp/home/.vorla-agents/run/vorla.sock ]] || { cat "$root/tmp/app.log" >&2; fail "no socket"; }
payload='{"session_id":"portable-test","hook_event_name":"PermissionRequest","cwd":"/tmp","tool_name":"Read","tool_input":{"file_path":"/tmp/x"}}'
answer=$(printf '%s' "$payload" | in_root env HOME=/tmp/home /tmp/home/.vorla-agents/bin/vorla-bridge --source claude)
grep -q '"allow"' <<<"$answer" || { cat "$root/tmp/app.log" >&2; fail "bridge answer: $answer"; }
kill -TERM "$app"; wait "$app" || true
app=""

step "the desktop app on an X server"
# Xvfb picks a free display itself and says which on a descriptor.
displayfile=$(mktemp)
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [[ -s $displayfile ]] && break; sleep 0.1; done
[[ -s $displayfile ]] || fail "Xvfb did not start"
display=:$(head -1 "$displayfile")
rm -f "$displayfile"
for _ in $(seq 100); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
chroot "$root" /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin HOME=/tmp/home DISPLAY="$display" \
    XDG_RUNTIME_DIR=/tmp vorla-agents >"$root/tmp/desktop.log" 2>&1 &
app=$!
for _ in $(seq 100); do grep -q 'Vorla Agents up' "$root/tmp/desktop.log" && break; sleep 0.1; done
grep -q 'Vorla Agents up' "$root/tmp/desktop.log" || { cat "$root/tmp/desktop.log" >&2; fail "the desktop app did not start"; }
island=""
for _ in $(seq 50); do
    island=$(xwininfo -display "$display" -root -children 2>/dev/null | grep -i 'vorla' | head -1 || true)
    [[ -n $island ]] && break
    sleep 0.1
done
[[ -n $island ]] || { cat "$root/tmp/desktop.log" >&2; fail "no island window on $display"; }
grep -qi 'qt.qpa.plugin\|could not load' "$root/tmp/desktop.log" && { cat "$root/tmp/desktop.log" >&2; fail "Qt plugin warnings"; }
kill -TERM "$app"; wait "$app" || true
app=""

echo "portable test ($suite): island shown: $island"
