#include "app/display_env.h"

#include <cstdlib>
#include <string_view>

#include "engine/support/log.h"

namespace vorla::app {

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

bool hasDisplay() {
    return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

void preferXWayland() {
    const char* session = std::getenv("XDG_SESSION_TYPE");
    const bool wayland =
        (session != nullptr && std::string_view(session) == "wayland") || isSet("WAYLAND_DISPLAY");
    if (!wayland || isSet("QT_QPA_PLATFORM")) {
        return;
    }
    if (!isSet("DISPLAY")) {
        logLine(
            "Vorla Agents: Wayland without XWayland, the island cannot keep its place at the top "
            "of the screen");
        return;
    }
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    logLine("Vorla Agents: Wayland session, running through XWayland to keep the island on top");
}

}  // namespace vorla::app
