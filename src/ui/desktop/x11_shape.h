// The X11 details Qt has no interface for: the input-only shape of a window
// and whether a selection (a compositing manager's, a system tray's) has an
// owner. They use Qt's own connection, so they are ordered with Qt's
// requests. Without X11 (Wayland, offscreen) they report "not available".
//
// Main thread only (Qt's display connection).
#pragma once

#include <QRegion>

class QWidget;

namespace vorla::ui::x11 {

// True when the app talks to an X server.
[[nodiscard]] bool available();

// Whether a compositing manager runs on the default screen (it owns
// _NET_WM_CM_S<n>): only then do translucent pixels show as translucent.
[[nodiscard]] bool compositing();

// Whether an XEmbed system tray runs (it owns _NET_SYSTEM_TRAY_S<n>).
[[nodiscard]] bool xembedTray();

// Sets the window's input region (where it takes pointer events) to `region`
// and leaves its visible shape alone; false without X11.
bool setInputShape(QWidget& window, const QRegion& region);

}  // namespace vorla::ui::x11
