#!/usr/bin/env bash
# Installs a Debian package into a clean Debian root and uses it there:
#   1. the menu entry validates, the icons are there, lintian finds no errors;
#   2. a minimal root of SUITE (default bookworm; debootstrap, made once and
#      kept as a tarball in $VORLA_ROOT_CACHE, default /var/cache/vorla-agents-ci),
#      unpacked afresh;
#   3. `apt-get install ./vorla-agents_*.deb` inside it (chroot, no container);
#   4. inside: --version, `hooks install claude` under a temporary HOME (the
#      staged bridge must be the installed one), and a bridge round trip
#      against `vorla-agents --headless`.
# Needs root (debootstrap, chroot, mount). Usage: scripts/package-test.sh DEB [SUITE]
set -euo pipefail

deb=$(realpath "${1:?usage: package-test.sh path/to/vorla-agents_VERSION_ARCH.deb [SUITE]}")
suite=${2:-bookworm}
source "$(dirname "$0")/debian-root.sh"

step() { printf '== %s\n' "$*"; }
fail() { printf 'package test FAILED: %s\n' "$*" >&2; exit 1; }

[[ $(id -u) -eq 0 ]] || fail "needs root for debootstrap and chroot"

step "lintian $(basename "$deb")"
# Errors fail the test; warnings are printed for the reader.
lintian --fail-on error "$deb" || fail "lintian reported errors"

step "desktop-file-validate"
unpacked=$(mktemp -d)
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/vorla-agents.desktop" || fail "invalid menu entry"
for size in 16 32 48 64 128 256; do
    [[ -s $unpacked/usr/share/icons/hicolor/${size}x${size}/apps/vorla-agents.png ]] || fail "no ${size}px icon"
done
rm -rf "$unpacked"

root=$(mktemp -d /tmp/vorla-pkgroot.XXXXXX)
app=""
cleanup() {
    [[ -n $app ]] && kill -KILL "$app" 2>/dev/null && wait "$app" 2>/dev/null
    debian_root_release "$root"
    rm -rf "$root"
}
trap cleanup EXIT
debian_root_unpack "$suite" "$root" || fail "debootstrap $suite"
cp "$deb" "$root/tmp/"
in_root() { in_debian_root "$root" "$@"; }

step "apt-get install ./$(basename "$deb") into a clean $suite root"
debian_root_apt_install "$root" "./tmp/$(basename "$deb")" || fail "apt-get install"

step "vorla-agents --version"
in_root vorla-agents --version | grep -q '^vorla-agents ' || fail "--version"
in_root test -x /usr/libexec/vorla-agents/vorla-bridge || fail "bridge not in libexec"
in_root test -x /usr/libexec/vorla-agents/vorla-agents-app || fail "vorla-agents-app not in libexec"
in_root test -f /usr/share/applications/vorla-agents.desktop || fail "no menu entry"
in_root test -f /usr/share/man/man1/vorla-agents.1.gz || fail "no man page"

step "hooks install claude (temporary HOME)"
mkdir -p "$root/tmp/home"
in_root env HOME=/tmp/home vorla-agents hooks install claude
in_root cmp /tmp/home/.vorla-agents/bin/vorla-bridge /usr/libexec/vorla-agents/vorla-bridge ||
    fail "the staged bridge is not the installed one"
grep -q '/tmp/home/.vorla-agents/bin/vorla-bridge' "$root/tmp/home/.claude/settings.json" ||
    fail "settings.json does not run the staged bridge"

step "bridge round trip against vorla-agents --headless"
# chroot and env exec into the app, so $! is the app itself.
chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/tmp/home vorla-agents --headless \
    >"$root/tmp/app.log" 2>&1 &
app=$!
for _ in $(seq 100); do [[ -S $root/tmp/home/.vorla-agents/run/vorla.sock ]] && break; sleep 0.1; done
[[ -S $root/tmp/home/.vorla-agents/run/vorla.sock ]] || { cat "$root/tmp/app.log" >&2; fail "no socket"; }
payload='{"session_id":"pkg-test","hook_event_name":"PermissionRequest","cwd":"/tmp","tool_name":"Read","tool_input":{"file_path":"/tmp/x"}}'
answer=$(printf '%s' "$payload" | in_root env HOME=/tmp/home /tmp/home/.vorla-agents/bin/vorla-bridge --source claude)
grep -q '"allow"' <<<"$answer" || { cat "$root/tmp/app.log" >&2; fail "bridge answer: $answer"; }
in_root env HOME=/tmp/home vorla-agents status --json | grep -q '"sessions"' || fail "status"
kill -TERM "$app"; wait "$app" || true
app=""
[[ ! -e $root/tmp/home/.vorla-agents/run/vorla.sock ]] || fail "socket left behind"

echo "package test: 1 passed, 0 failed"
