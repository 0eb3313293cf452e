#include "engine/look/desktop_env.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>

namespace vorla {

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The executable as one word of a sway or Hyprland config line: both split
// on blanks and honour double quotes.
std::string configWord(const std::string& path) {
    if (path.find_first_of(" \t\"\\") == std::string::npos) {
        return path;
    }
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + '"';
}

}  // namespace

DesktopEnv DesktopEnv::fromEnvironment() {
    return {.sessionType = variable("XDG_SESSION_TYPE"),
            .waylandDisplay = variable("WAYLAND_DISPLAY"),
            .display = variable("DISPLAY"),
            .qtPlatform = variable("QT_QPA_PLATFORM"),
            .currentDesktop = variable("XDG_CURRENT_DESKTOP"),
            .swaySock = variable("SWAYSOCK"),
            .hyprland = variable("HYPRLAND_INSTANCE_SIGNATURE")};
}

bool DesktopEnv::wayland() const {
    return sessionType == "wayland" || !waylandDisplay.empty();
}

bool DesktopEnv::desktopIs(std::string_view name) const {
    std::string_view rest = currentDesktop;
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        if (equalsIgnoringCase(rest.substr(0, colon), name)) {
            return true;
        }
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return false;
}

bool DesktopEnv::wlroots() const {
    return !swaySock.empty() || !hyprland.empty() || desktopIs("sway") || desktopIs("Hyprland") ||
           desktopIs("river") || desktopIs("wayfire") || desktopIs("labwc");
}

bool DesktopEnv::gnome() const {
    return desktopIs("GNOME");
}

DisplayPath displayPath(const DesktopEnv& env) {
    if (!env.wayland() || !env.qtPlatform.empty()) {
        return DisplayPath::asIs;
    }
    return env.display.empty() ? DisplayPath::waylandUnplaced : DisplayPath::xwayland;
}

std::string displayPathNote(DisplayPath path) {
    switch (path) {
        case DisplayPath::xwayland:
            return "Vorla Agents: Wayland session, running through XWayland to keep the island on "
                   "top (set QT_QPA_PLATFORM to choose otherwise)";
        case DisplayPath::waylandUnplaced:
            return "Vorla Agents: Wayland without XWayland, the island cannot keep its place at "
                   "the top of the screen";
        case DisplayPath::asIs:
            break;
    }
    return {};
}

std::optional<std::string> autostartLine(const DesktopEnv& env, const std::string& executable) {
    if (!env.hyprland.empty() || env.desktopIs("Hyprland")) {
        return "exec-once = " + configWord(executable);
    }
    if (!env.swaySock.empty() || env.desktopIs("sway")) {
        return "exec " + configWord(executable);
    }
    return std::nullopt;
}

std::string noTrayNote(const DesktopEnv& env) {
    std::string note = "Vorla Agents: no system tray on this desktop";
    if (env.gnome()) {
        note +=
            " (GNOME shows one with the AppIndicator extension: install "
            "gnome-shell-extension-appindicator and turn it on in Extensions)";
    }
    return note +
           "; right-click the island for Settings… and Quit, or start vorla-agents again to "
           "open the settings";
}

}  // namespace vorla
