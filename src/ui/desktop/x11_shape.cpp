#include "ui/desktop/x11_shape.h"

#include <QGuiApplication>
#include <QWidget>
#include <string>
#include <vector>

// Xlib's macros clash with Qt's names: include last.
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

namespace vorla::ui::x11 {

namespace {

Display* display() {
    auto* native = qGuiApp != nullptr
                       ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                       : nullptr;
    return native != nullptr ? native->display() : nullptr;
}

bool selectionOwned(const char* prefix) {
    Display* x = display();
    if (x == nullptr) {
        return false;
    }
    const std::string name = prefix + std::to_string(DefaultScreen(x));
    const Atom atom = XInternAtom(x, name.c_str(), False);
    return atom != 0 && XGetSelectionOwner(x, atom) != 0;
}

}  // namespace

bool available() {
    return display() != nullptr;
}

bool compositing() {
    return selectionOwned("_NET_WM_CM_S");
}

bool xembedTray() {
    return selectionOwned("_NET_SYSTEM_TRAY_S");
}

bool setInputShape(QWidget& window, const QRegion& region) {
    Display* x = display();
    if (x == nullptr) {
        return false;
    }
    int event = 0;
    int error = 0;
    if (XShapeQueryExtension(x, &event, &error) == 0) {
        return false;
    }
    const qreal scale = window.devicePixelRatioF();
    std::vector<XRectangle> rects;
    rects.reserve(static_cast<std::size_t>(region.rectCount()));
    for (const QRect& rect : region) {
        const QRect device(QPoint(qRound(rect.x() * scale), qRound(rect.y() * scale)),
                           QSize(qRound(rect.width() * scale), qRound(rect.height() * scale)));
        rects.push_back({static_cast<short>(device.x()), static_cast<short>(device.y()),
                         static_cast<unsigned short>(device.width()),
                         static_cast<unsigned short>(device.height())});
    }
    XShapeCombineRectangles(x, static_cast<Window>(window.winId()), ShapeInput, 0, 0, rects.data(),
                            static_cast<int>(rects.size()), ShapeSet, Unsorted);
    XFlush(x);
    return true;
}

}  // namespace vorla::ui::x11
