#include "ui/island/pointer_position.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

// Xlib's macros (None, Bool, Status...) clash with Qt's names: include last.
#include <X11/Xlib.h>

namespace vorla::ui {

namespace {

// X coordinates are Qt's only while no screen is scaled.
bool unscaled() {
    const auto screens = QGuiApplication::screens();
    return std::all_of(screens.begin(), screens.end(),
                       [](const QScreen* screen) { return screen->devicePixelRatio() == 1.0; });
}

}  // namespace

struct PointerPosition::Connection {
    Display* display = nullptr;

    ~Connection() {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }
};

PointerPosition::PointerPosition() {
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !unscaled()) {
        return;
    }
    auto connection = std::make_unique<Connection>();
    connection->display = XOpenDisplay(nullptr);
    if (connection->display != nullptr) {
        connection_ = std::move(connection);
    }
}

PointerPosition::~PointerPosition() = default;

QPoint PointerPosition::read() const {
    if (!connection_) {
        return QCursor::pos();
    }
    Display* display = connection_->display;
    Window root = 0;
    Window child = 0;
    int x = 0;
    int y = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned int buttons = 0;
    if (XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &windowX,
                      &windowY, &buttons) == 0) {
        return QCursor::pos();  // on another X screen: Qt knows better
    }
    return {x, y};
}

}  // namespace vorla::ui
