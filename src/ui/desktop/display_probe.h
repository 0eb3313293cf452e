// Whether Qt will find a screen here, asked before QApplication exists: Qt
// aborts the whole process when its platform cannot start (a DISPLAY whose X
// server is gone, a Wayland session without XWayland and without Qt's Wayland
// plugin), and the app should rather carry on headless.
//
// Reads the environment as the app left it (QT_QPA_PLATFORM, DISPLAY,
// WAYLAND_DISPLAY, XDG_RUNTIME_DIR). Any thread; before QApplication.
#pragma once

#include <optional>
#include <string>

namespace vorla::ui {

// Why no window could be shown ("cannot open the X display :7"), or nothing
// when Qt should manage, including any platform the user chose other than
// xcb and wayland.
[[nodiscard]] std::optional<std::string> displayProblem();

}  // namespace vorla::ui
