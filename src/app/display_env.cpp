#include "app/display_env.h"

#include <cstdlib>

#include "engine/look/desktop_env.h"
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
    const DisplayPath path = displayPath(DesktopEnv::fromEnvironment());
    if (path == DisplayPath::xwayland) {
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    if (path != DisplayPath::asIs) {
        logLine(displayPathNote(path));
    }
}

}  // namespace vorla::app
