#include "engine/look/desktop_env.h"

#include <gtest/gtest.h>

namespace vorla {
namespace {

TEST(DesktopEnv, WaylandGoesThroughXWaylandUnlessTheUserChoseAPlatform) {
    DesktopEnv gnome{.sessionType = "wayland", .waylandDisplay = "wayland-0", .display = ":0"};
    EXPECT_EQ(displayPath(gnome), DisplayPath::xwayland);
    // Only the session type set (a login manager that exports nothing else).
    EXPECT_EQ(displayPath({.sessionType = "wayland", .display = ":0"}), DisplayPath::xwayland);
    EXPECT_EQ(displayPath({.waylandDisplay = "wayland-1"}), DisplayPath::waylandUnplaced);
    gnome.qtPlatform = "wayland";
    EXPECT_EQ(displayPath(gnome), DisplayPath::asIs);
    EXPECT_EQ(displayPath({.sessionType = "x11", .display = ":0"}), DisplayPath::asIs);
    EXPECT_EQ(displayPath({.sessionType = "tty"}), DisplayPath::asIs);
}

TEST(DesktopEnv, RecognisesDesktopsByTheirEntriesNotBySubstrings) {
    EXPECT_TRUE(DesktopEnv{.currentDesktop = "ubuntu:GNOME"}.gnome());
    EXPECT_FALSE(DesktopEnv{.currentDesktop = "GNOME-Flashback-ish"}.gnome());
    EXPECT_FALSE(DesktopEnv{.currentDesktop = "KDE"}.wlroots());
    EXPECT_TRUE(DesktopEnv{.swaySock = "/run/user/1000/sway-ipc.sock"}.wlroots());
    EXPECT_TRUE(DesktopEnv{.currentDesktop = "hyprland"}.wlroots());
    EXPECT_TRUE(DesktopEnv{.currentDesktop = "X-Generic:sway"}.wlroots());
}

TEST(DesktopEnv, AutostartLineOnlyWhereXdgAutostartDoesNotRunAndQuotedWhenNeeded) {
    EXPECT_EQ(autostartLine({.currentDesktop = "KDE"}, "/usr/bin/vorla-agents"), std::nullopt);
    EXPECT_EQ(autostartLine({.currentDesktop = "GNOME"}, "/usr/bin/vorla-agents"), std::nullopt);
    EXPECT_EQ(autostartLine({.swaySock = "/s"}, "/usr/bin/vorla-agents"),
              "exec /usr/bin/vorla-agents");
    EXPECT_EQ(autostartLine({.currentDesktop = "Hyprland", .hyprland = "abc"}, "/opt/v a/x\"y"),
              R"(exec-once = "/opt/v a/x\"y")");
}

TEST(DesktopEnv, NoTrayNoteTellsGnomeUsersAboutTheExtension) {
    EXPECT_NE(noTrayNote({.currentDesktop = "GNOME"}).find("AppIndicator"), std::string::npos);
    EXPECT_EQ(noTrayNote({.currentDesktop = "sway"}).find("AppIndicator"), std::string::npos);
}

}  // namespace
}  // namespace vorla
