#!/usr/bin/env bash
# Builds the portable tarball for distributions other than Debian:
#   OUT/vorla-agents-<version>-x86_64.tar.gz   (OUT defaults to build/dist)
# holding the programs, Qt with its platform, image-format, input and
# platform-theme plugins, and every shared library they load except glibc,
# libstdc++ and the X, Wayland, GL, font and D-Bus client libraries that every
# desktop has (and what those load themselves). The programs find the bundled
# libraries through their RPATH ($ORIGIN), so no environment variable reaches
# the agents' hooks; the bridge stays static. Built on Debian 12, it needs
# glibc 2.36 or newer.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/dist}")
build=build/portable
fail() { printf 'portable build FAILED: %s\n' "$*" >&2; exit 1; }

cmake --preset portable >/dev/null
cmake --build --preset portable -j "$(nproc)"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=vorla-agents-$version-x86_64
stage=$build/stage/$name
rm -rf "$build/stage"
DESTDIR=$PWD/$build/stage cmake --install "$build" --prefix "/$name" >/dev/null
app=$stage/libexec/vorla-agents/vorla-agents-app
front=$stage/bin/vorla-agents
[[ -x $app ]] || fail "no vorla-agents-app in $stage"
[[ -x $front ]] || fail "no vorla-agents in $stage"

qt_plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
plugin_dirs=(platforms/libqxcb.so platforms/libqoffscreen.so platforms/libqminimal.so
    xcbglintegrations imageformats platforminputcontexts platformthemes/libqxdgdesktopportal.so)
for p in "${plugin_dirs[@]}"; do
    [[ -e $qt_plugins/$p ]] || fail "Qt plugin $p is missing (scripts/install-deps.sh installs it)"
    mkdir -p "$stage/plugins/$(dirname "$p")"
    cp -a "$qt_plugins/$p" "$stage/plugins/$(dirname "$p")/"
done
# Qt reads this beside the executable: plugins from the bundle, nothing from /usr.
printf '[Paths]\nPrefix = ../..\nPlugins = plugins\n' >"$stage/libexec/vorla-agents/qt.conf"

# Libraries every desktop has, and everything they load in turn: left out.
desktop_lib='^(linux-vdso|ld-linux|libc|libm|libpthread|libdl|librt|libresolv|libutil|libstdc\+\+|libgcc_s|libX11|libX11-xcb|libXau|libXdmcp|libXext|libXi|libXrender|libXfixes|libxcb|libxcb-(dri2|dri3|glx|present|randr|render|shape|shm|sync|xfixes|xinerama|xinput|xkb)|libxkbcommon|libxkbcommon-x11|libGL|libEGL|libGLX|libGLdispatch|libOpenGL|libwayland-[a-z]+|libdrm|libgbm|libfontconfig|libfreetype|libdbus-1)\.so'
objects=("$app" "$front" "$stage/libexec/vorla-agents/vorla-bridge")
while IFS= read -r -d '' plugin; do objects+=("$plugin"); done < <(find "$stage/plugins" -name '*.so' -print0)
declare -A wanted=() provided=()
for object in "${objects[@]}"; do
    while read -r soname path; do
        [[ $path == /* ]] || continue
        if [[ $soname =~ $desktop_lib ]]; then
            while read -r dep deppath; do provided[$dep]=1; done < <(ldd "$path" | awk '$2 == "=>" {print $1, $3}')
        else
            wanted[$soname]=$path
        fi
    done < <(ldd "$object" | awk '$2 == "=>" {print $1, $3}')
done
mkdir -p "$stage/lib"
for soname in "${!wanted[@]}"; do
    [[ -n ${provided[$soname]:-} ]] && continue
    cp -L "${wanted[$soname]}" "$stage/lib/$soname"
done
# A library that names its own search path (libpulse names its private
# folder) would not look in lib/: point it there.
for lib in "$stage"/lib/*; do
    if readelf -d "$lib" | grep -q '(RUNPATH)\|(RPATH)'; then
        patchelf --set-rpath '$ORIGIN' "$lib"
    fi
done
for program in "$app" "$front"; do
    ldd "$program" | grep -q 'not found' && fail "$program misses a library: $(ldd "$program" | grep 'not found')"
done

rm -rf "$stage/share/lintian"  # only meaningful inside the Debian package

# The menu entry and icons point at wherever the bundle was unpacked.
cp packaging/portable-install.sh "$stage/install.sh"
chmod 0755 "$stage/install.sh"
mkdir -p "$out"
tar -C "$build/stage" -czf "$out/$name.tar.gz" "$name"
printf '%s\n' "$out/$name.tar.gz"
