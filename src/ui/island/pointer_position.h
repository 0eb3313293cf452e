// Where the pointer is, read for the island's 60 ms hover check. On X11 it
// asks the server over a private connection: one small round trip that
// wakes no other thread, where QCursor::pos() also wakes Qt's event reader
// thread each time. Elsewhere (Wayland without XWayland, the offscreen
// platform, scaled screens whose logical and X coordinates differ) it asks
// Qt.
//
// Main thread only.
#pragma once

#include <QPoint>
#include <memory>

namespace vorla::ui {

class PointerPosition {
  public:
    PointerPosition();
    ~PointerPosition();
    PointerPosition(const PointerPosition&) = delete;
    PointerPosition& operator=(const PointerPosition&) = delete;

    // The pointer in Qt's screen coordinates.
    [[nodiscard]] QPoint read() const;

  private:
    struct Connection;
    std::unique_ptr<Connection> connection_;  // null: ask Qt
};

}  // namespace vorla::ui
