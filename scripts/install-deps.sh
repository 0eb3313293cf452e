#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that
# are missing. Idempotent and silent when everything is already there.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake ninja-build pkg-config make git
  # libraries
  nlohmann-json3-dev rapidjson-dev libsimdjson-dev libre2-dev libqrencode-dev libexpected-dev
  libicu-dev
  libssl-dev nettle-dev
  libsqlite3-dev
  # the desktop app: Qt Widgets and D-Bus, SDL2 audio, Xlib for the pointer position,
  # the X shape extension for the island's click-through input region
  qt6-base-dev libsdl2-dev libx11-dev libxext-dev
  # faster rebuilds
  ccache
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev hyperfine python3 time
  # the sound client libraries SDL tries at start (no server runs here): the
  # start-up benchmark measures the app with them present
  libasound2 libpulse0 libpipewire-0.3-0
  # the phone page in a real browser, and reading its QR code back
  chromium zbar-tools
  # windows on a real X server: Xvfb, a compositor, pointer clicks, screenshots;
  # a private session bus with fake notification and file-manager services
  xvfb xcompmgr x11-utils x11-xserver-utils xdotool imagemagick dbus python3-dbus
  # a real window manager over the island (its stacking and maximised windows)
  openbox
  # the Debian package and its test in a clean Debian root (make package-test)
  dpkg-dev fakeroot lintian debootstrap desktop-file-utils
  # the portable tarball: the desktop-portal platform theme it bundles, and patchelf
  # to point a bundled library's own search path at its neighbours (make packages)
  qt6-xdgdesktopportal-platformtheme patchelf
  # fuzzing, lint and formatting (make fuzz, make lint, make format)
  clang libclang-rt-14-dev clang-tidy clang-format
)

# `install-deps.sh desktops`: the Wayland compositors make test-desktops runs
# the app on, headless, with their screenshot tools.
if [[ "${1:-}" == desktops ]]; then
  packages+=(sway grim xwayland kwin-wayland gnome-shell libgl1-mesa-dri libglib2.0-bin)
fi

# npm drives the browser test; a machine that already has Node (for instance
# from NodeSource) keeps it rather than mixing in Debian's packages.
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
