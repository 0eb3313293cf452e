// What the desktop session is, read from its environment variables, and the
// choices that follow from it: which display path the app takes, whether the
// desktop runs XDG autostart entries, and how to get a tray where there is
// none. Plain values and pure functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorla {

struct DesktopEnv {
    std::string sessionType = {};     // XDG_SESSION_TYPE
    std::string waylandDisplay = {};  // WAYLAND_DISPLAY
    std::string display = {};         // DISPLAY
    std::string qtPlatform = {};      // QT_QPA_PLATFORM (the user's choice)
    std::string currentDesktop = {};  // XDG_CURRENT_DESKTOP, colon-separated
    std::string swaySock = {};        // SWAYSOCK
    std::string hyprland = {};        // HYPRLAND_INSTANCE_SIGNATURE

    // The process's environment now.
    [[nodiscard]] static DesktopEnv fromEnvironment();

    [[nodiscard]] bool wayland() const;
    // sway, Hyprland and the other wlroots compositors.
    [[nodiscard]] bool wlroots() const;
    [[nodiscard]] bool gnome() const;
    // Whether `name` is one of XDG_CURRENT_DESKTOP's entries (any case).
    [[nodiscard]] bool desktopIs(std::string_view name) const;
};

enum class DisplayPath {
    asIs,             // X11, or a platform the user chose: Qt decides
    xwayland,         // Wayland session: set QT_QPA_PLATFORM=xcb before Qt starts
    waylandUnplaced,  // Wayland without XWayland: the island cannot hold its place
};

[[nodiscard]] DisplayPath displayPath(const DesktopEnv& env);
// The log line for a path other than asIs.
[[nodiscard]] std::string displayPathNote(DisplayPath path);

// The compositors that ignore XDG autostart entries are configured with a
// line in their own file instead: that line for `executable`, or nothing
// where XDG autostart works.
[[nodiscard]] std::optional<std::string> autostartLine(const DesktopEnv& env,
                                                       const std::string& executable);

// How to get a tray on this desktop, for the log, when none is there.
[[nodiscard]] std::string noTrayNote(const DesktopEnv& env);

}  // namespace vorla
