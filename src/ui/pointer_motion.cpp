#include "ui/pointer_motion.h"

#include <QGuiApplication>

// Xlib's macros (None, Bool, Status...) clash with Qt's names: include last.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace vorla::ui {

struct PointerMotionWatch::Connection {
    Display* display = nullptr;
    int opcode = 0;

    ~Connection() {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }
};

std::unique_ptr<PointerMotionWatch> PointerMotionWatch::open() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return nullptr;
    }
    auto connection = std::make_unique<Connection>();
    connection->display = XOpenDisplay(nullptr);
    if (connection->display == nullptr) {
        return nullptr;
    }
    int event = 0;
    int error = 0;
    int major = 2;
    int minor = 2;  // 2.0 clients get no raw events from master devices
    if (!XQueryExtension(connection->display, "XInputExtension", &connection->opcode, &event,
                         &error) ||
        XIQueryVersion(connection->display, &major, &minor) != Success) {
        return nullptr;
    }
    return std::unique_ptr<PointerMotionWatch>(new PointerMotionWatch(std::move(connection)));
}

PointerMotionWatch::PointerMotionWatch(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)),
      notifier_(ConnectionNumber(connection_->display), QSocketNotifier::Read) {
    connect(&notifier_, &QSocketNotifier::activated, this, &PointerMotionWatch::drain);
}

PointerMotionWatch::~PointerMotionWatch() = default;

void PointerMotionWatch::select(bool motion) {
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (motion) {
        XISetMask(bits, XI_RawMotion);
    }
    XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
    XISelectEvents(connection_->display, DefaultRootWindow(connection_->display), &mask, 1);
}

void PointerMotionWatch::watch() {
    if (watching_) {
        return;
    }
    watching_ = true;
    select(true);
    XSync(connection_->display, False);
    drain();  // what XSync read from the socket wakes no notifier
}

void PointerMotionWatch::drain() {
    bool moved = false;
    while (XPending(connection_->display) > 0) {
        XEvent event;
        XNextEvent(connection_->display, &event);
        moved =
            moved || (event.type == GenericEvent && event.xcookie.extension == connection_->opcode);
    }
    if (moved && watching_) {
        // Raw motion comes at the mouse's own rate: while the island polls
        // anyway, let the server keep it.
        watching_ = false;
        select(false);
        XFlush(connection_->display);
        if (onMotion) {
            onMotion();
        }
    }
}

}  // namespace vorla::ui
