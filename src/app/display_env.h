// Which display the desktop app can use, decided from the environment before
// any window system is touched. Plain functions of the environment.
#pragma once

namespace vorla::app {

// True when DISPLAY or WAYLAND_DISPLAY is set and not empty.
[[nodiscard]] bool hasDisplay();

// On a Wayland session where the user has not chosen a Qt platform, and
// XWayland is there (DISPLAY set), selects xcb: a Wayland client may neither
// place its own window at the top of the screen nor keep it above others.
// Logs once what it chose; without XWayland it leaves Qt on Wayland and logs
// that the island cannot hold its place.
void preferXWayland();

}  // namespace vorla::app
