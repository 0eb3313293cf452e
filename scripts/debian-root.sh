# Sourced by the packaging scripts: clean Debian roots made with debootstrap,
# cached as tarballs so only the first run downloads anything.
#   debian_root_tarball SUITE      prints the cached minbase tarball, making it once
#   debian_root_unpack SUITE DIR   unpacks a fresh copy into DIR and mounts /proc
#                                  and the shared apt archive cache
#   debian_root_release DIR        unmounts what debian_root_unpack mounted
# Needs root. VORLA_ROOT_CACHE (default /var/cache/vorla-agents-ci) holds the
# tarballs and the downloaded packages.

root_cache=${VORLA_ROOT_CACHE:-/var/cache/vorla-agents-ci}

debian_root_tarball() {
    local suite=$1 tarball=$root_cache/$1-minbase.tar
    mkdir -p "$root_cache"
    if [[ ! -s $tarball ]]; then
        # The machine's own apt source when it names one; otherwise debootstrap's default.
        local mirror seed
        mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
        seed=$(mktemp -d)
        printf '== bootstrapping a %s root (once; cached in %s)\n' "$suite" "$tarball" >&2
        if ! debootstrap --variant=minbase "$suite" "$seed" ${mirror:+"$mirror"} >"$root_cache/debootstrap-$suite.log" 2>&1; then
            tail -20 "$root_cache/debootstrap-$suite.log" >&2
            rm -rf "$seed"
            return 1
        fi
        tar -C "$seed" -cf "$tarball.part" . && mv "$tarball.part" "$tarball"
        rm -rf "$seed"
    fi
    printf '%s\n' "$tarball"
}

debian_root_unpack() {
    local suite=$1 dir=$2 tarball
    tarball=$(debian_root_tarball "$suite") || return 1
    mkdir -p "$dir" "$root_cache/archives-$suite"
    tar -C "$dir" -xf "$tarball"
    mount -t proc proc "$dir/proc"
    # Downloaded packages are kept between runs, one folder per release.
    mount --bind "$root_cache/archives-$suite" "$dir/var/cache/apt/archives"
    cp /etc/resolv.conf "$dir/etc/resolv.conf"
}

debian_root_release() {
    local dir=$1 m
    for m in "$dir/var/cache/apt/archives" "$dir/proc" "$dir/tmp/.X11-unix" "$dir/src" "$dir/ccache"; do
        mountpoint -q "$m" 2>/dev/null && umount -l "$m"
    done
    return 0
}

# Runs a command inside the root with a clean environment.
in_debian_root() {
    local dir=$1
    shift
    chroot "$dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=/root "$@"
}

debian_root_apt_install() {
    local dir=$1
    shift
    in_debian_root "$dir" apt-get update -qq >/dev/null &&
        in_debian_root "$dir" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
            --no-install-recommends "$@" >"$dir/tmp/apt.log" 2>&1 ||
        { tail -20 "$dir/tmp/apt.log" >&2; return 1; }
}
