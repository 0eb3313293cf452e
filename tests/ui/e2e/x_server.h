// A real X server for one test: Xvfb on a free display (it picks the number
// itself and reports it through -displayfd), a grey-blue root so the black
// island shows in pictures, and xcompmgr for per-pixel transparency. Both are
// killed (by their own process ids) when the object goes.
#pragma once

#include <QImage>
#include <optional>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace vorla::test {

class XServer {
  public:
    // Starts both; display() is empty when Xvfb could not start.
    explicit XServer(int width = 1512, int height = 982);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    [[nodiscard]] const std::string& display() const { return display_; }  // ":N"

    // Runs an X client (xdotool, import, ...) on this display.
    [[nodiscard]] ChildResult run(std::vector<std::string> args) const;
    // The whole screen as the X server has it, or a null image.
    [[nodiscard]] QImage screenshot() const;

    struct Rect {
        int x = 0, y = 0, width = 0, height = 0;
    };
    // The visible window of process `pid` (Qt sets _NET_WM_PID), if any.
    [[nodiscard]] std::optional<Rect> windowOf(int pid) const;
    // Real pointer motion to (x, y), and a click there.
    void moveTo(int x, int y) const;
    // The pointer jumps to (x, y) with no motion on the way, as a remote
    // desktop or a tablet moves it.
    void warpTo(int x, int y) const;
    // The top-level windows from the bottom of the stack to its top.
    [[nodiscard]] std::vector<std::string> stacking() const;
    // The id (as xdotool prints it) of the visible window of process `pid`.
    [[nodiscard]] std::string windowIdOf(int pid) const;
    void click(int x, int y) const;

  private:
    std::string display_;
    int xvfbPid_ = -1;
    int compositorPid_ = -1;
};

}  // namespace vorla::test
