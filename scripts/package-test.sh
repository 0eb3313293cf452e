#!/usr/bin/env bash
# Installs the Debian package into a clean Debian 12 root and uses it there:
#   1. the menu entry validates, the icons are there, lintian finds no errors;
#   2. a minimal bookworm root (debootstrap; made once and kept as a tarball in
#      $VORLA_ROOT_CACHE, default /var/cache/vorla-agents-ci), unpacked afresh;
#   3. `apt-get install ./vorla-agents_*.deb` inside it (chroot, no container);
#   4. inside: --version, `hooks install claude` under a temporary HOME (the
#      staged bridge must be the installed one), and a bridge round trip
#      against `vorla-agents --headless`.
# Needs root (debootstrap, chroot, mount). Usage: scripts/package-test.sh DEB
set -euo pipefail

deb=$(realpath "${1:?usage: package-test.sh path/to/vorla-agents_VERSION_ARCH.deb}")
cache=${VORLA_ROOT_CACHE:-/var/cache/vorla-agents-ci}
base=$cache/bookworm-minbase.tar
# The machine's own apt source, when it names one; otherwise debootstrap's default.
mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)

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

mkdir -p "$cache/archives"
if [[ ! -s $base ]]; then
    step "bootstrapping a bookworm root (once; cached in $base)"
    seed=$(mktemp -d)
    debootstrap --variant=minbase bookworm "$seed" ${mirror:+"$mirror"} >"$cache/debootstrap.log" 2>&1 ||
        { tail -20 "$cache/debootstrap.log" >&2; rm -rf "$seed"; fail "debootstrap"; }
    tar -C "$seed" -cf "$base.part" . && mv "$base.part" "$base"
    rm -rf "$seed"
fi

root=$(mktemp -d /tmp/vorla-pkgroot.XXXXXX)
app=""
cleanup() {
    [[ -n $app ]] && kill -KILL "$app" 2>/dev/null && wait "$app" 2>/dev/null
    for m in "$root/var/cache/apt/archives" "$root/proc"; do
        mountpoint -q "$m" && umount -l "$m"
    done
    rm -rf "$root"
}
trap cleanup EXIT
tar -C "$root" -xf "$base"
mount -t proc proc "$root/proc"
# Downloaded packages are kept between runs: only the first run fetches Qt.
mount --bind "$cache/archives" "$root/var/cache/apt/archives"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }

step "apt-get install ./$(basename "$deb")"
in_root apt-get update -qq >/dev/null
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "./tmp/$(basename "$deb")" >"$root/tmp/apt.log" 2>&1 || { tail -20 "$root/tmp/apt.log" >&2; fail "apt-get install"; }

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
