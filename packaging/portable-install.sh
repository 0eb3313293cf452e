#!/bin/sh
# Adds the unpacked Vorla Agents to the application menu and to PATH, pointing
# at this folder: run it again after moving the folder; `./install.sh --remove`
# takes the entries out. Per user under ~/.local, or for everyone under
# /usr/local when run as root.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
if [ "$(id -u)" -eq 0 ]; then
    share=/usr/local/share
    bin=/usr/local/bin
else
    share=${XDG_DATA_HOME:-$HOME/.local/share}
    bin=$HOME/.local/bin
fi
entry=$share/applications/vorla-agents.desktop

if [ "${1:-}" = "--remove" ]; then
    rm -f "$entry" "$bin/vorla-agents"
    find "$share/icons/hicolor" -name vorla-agents.png -path '*/apps/*' -delete 2>/dev/null || true
    rm -f "$share/icons/hicolor/scalable/apps/vorla-agents.svg"
    echo "Removed Vorla Agents from the menu and from $bin."
    exit 0
fi

mkdir -p "$share/applications" "$bin"
sed "s|^Exec=.*|Exec=$here/bin/vorla-agents|" "$here/share/applications/vorla-agents.desktop" >"$entry.tmp"
mv "$entry.tmp" "$entry"
cp -R "$here/share/icons/hicolor" "$share/icons/" 2>/dev/null || {
    mkdir -p "$share/icons" && cp -R "$here/share/icons/hicolor" "$share/icons/"
}
ln -sf "$here/bin/vorla-agents" "$bin/vorla-agents"
command -v update-desktop-database >/dev/null 2>&1 && update-desktop-database -q "$share/applications" || true
echo "Added Vorla Agents to the menu ($entry) and $bin/vorla-agents."
case ":$PATH:" in *":$bin:"*) ;; *) echo "Add $bin to your PATH to type vorla-agents in a terminal." ;; esac
echo "Next: vorla-agents hooks install claude   (or codex, grok)"
