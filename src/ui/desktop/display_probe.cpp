#include "ui/desktop/display_probe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QLibraryInfo>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/unique_fd.h"

// Xlib's macros clash with Qt's names: include last.
#include <X11/Xlib.h>

namespace vorla::ui {

namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::optional<std::string> xProblem() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const std::string name = env("DISPLAY");
        return name.empty() ? "no X display (DISPLAY is unset)"
                            : "cannot open the X display " + name;
    }
    XCloseDisplay(display);
    return std::nullopt;
}

bool waylandSocketAnswers(const std::string& name) {
    std::string path = name;
    if (path.empty() || path.front() != '/') {
        path = env("XDG_RUNTIME_DIR") + "/" + path;
    }
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return fd &&
           ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool qtHasWaylandPlugin() {
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                         QStringLiteral("/platforms"));
    return !platforms.entryList({QStringLiteral("libqwayland*")}, QDir::Files).isEmpty();
}

}  // namespace

std::optional<std::string> displayProblem() {
    const std::string platform = env("QT_QPA_PLATFORM");
    if (platform.starts_with("xcb")) {
        return xProblem();
    }
    if (!platform.empty() && !platform.starts_with("wayland")) {
        return std::nullopt;  // the user's choice; Qt speaks for itself
    }
    const std::string wayland = env("WAYLAND_DISPLAY");
    if (!wayland.empty() || platform.starts_with("wayland")) {
        if (qtHasWaylandPlugin() && waylandSocketAnswers(wayland.empty() ? "wayland-0" : wayland)) {
            return std::nullopt;
        }
        if (env("DISPLAY").empty()) {
            return qtHasWaylandPlugin() ? "cannot connect to the Wayland display " + wayland
                                        : std::string(
                                              "Wayland without XWayland, and Qt's Wayland plugin "
                                              "(qt6-wayland) is not installed");
        }
    }
    return xProblem();  // Qt falls back to xcb
}

}  // namespace vorla::ui
