#!/usr/bin/env bash
# Builds the Debian 13 package inside a clean Debian 13 (trixie) root, against
# trixie's own libraries, and leaves it in OUT (default build/dist) as
#   vorla-agents_<version>+deb13u1_amd64.deb
# The build root (with the build dependencies installed) and the downloaded
# packages are kept in $VORLA_ROOT_CACHE between runs; compiled objects in a
# ccache folder beside them. Needs root (debootstrap, chroot, mount).
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
out=$(realpath -m "${1:-build/dist}")
source scripts/debian-root.sh

fail() { printf 'Debian 13 build FAILED: %s\n' "$*" >&2; exit 1; }
[[ $(id -u) -eq 0 ]] || fail "needs root for debootstrap and chroot"

build_deps=(g++ cmake ninja-build pkg-config make ccache dpkg-dev file
    nlohmann-json3-dev rapidjson-dev libsimdjson-dev libre2-dev libqrencode-dev libexpected-dev
    libicu-dev libssl-dev nettle-dev libsqlite3-dev qt6-base-dev libsdl2-dev libx11-dev libxi-dev)
root=$root_cache/trixie-build
stamp=$root/.vorla-build-deps
trap 'debian_root_release "$root"' EXIT

if [[ ! -f $stamp || $(cat "$stamp") != "${build_deps[*]}" ]]; then
    printf '== preparing the Debian 13 build root (once; kept in %s)\n' "$root"
    debian_root_release "$root"
    rm -rf "$root"
    debian_root_unpack trixie "$root" || fail "debootstrap trixie"
    debian_root_apt_install "$root" "${build_deps[@]}" || fail "installing the build dependencies"
    printf '%s' "${build_deps[*]}" >"$stamp"
else
    mount -t proc proc "$root/proc"
    mkdir -p "$root_cache/archives-trixie"
    mount --bind "$root_cache/archives-trixie" "$root/var/cache/apt/archives"
fi

mkdir -p "$root/src" "$root/ccache" "$root_cache/ccache-trixie"
mount --bind -o ro "$src" "$root/src"
mount --bind "$root_cache/ccache-trixie" "$root/ccache"

printf '== building the package against Debian 13 libraries\n'
in_debian_root "$root" env CCACHE_DIR=/ccache sh -c '
    set -e
    cmake -S /src -B /build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORLA_BUILD_TESTS=OFF \
        -DCMAKE_INSTALL_PREFIX=/usr -DVORLA_PACKAGE_SUFFIX=+deb13u1 >/build.log 2>&1
    cmake --build /build -j "$(nproc)" >>/build.log 2>&1
    cd /build && rm -f vorla-agents_*.deb && cpack -G DEB >>/build.log 2>&1' ||
    { tail -30 "$root/build.log" >&2; fail "the build (log: $root/build.log)"; }

mkdir -p "$out"
deb=$(ls -1 "$root"/build/vorla-agents_*+deb13u1_*.deb)
cp "$deb" "$out/"
printf '%s\n' "$out/$(basename "$deb")"
