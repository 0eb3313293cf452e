// The desktop half of the composition root: the engine of AppCore (shared
// with --headless) plus the island window, its 60 ms hover-and-resize tick
// and the tray. Sound, notifications and the settings window attach here.
//
// Main thread only (the thread running QApplication::exec()).
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "app/app_core.h"
#include "ui/island/island_view.h"
#include "ui/notch_window.h"
#include "ui/tray.h"

namespace vorla::app {

class DesktopApp final : public QObject {
  public:
    // The hover and resize tick.
    static constexpr std::chrono::milliseconds kHoverInterval{60};

    // Creates the engine objects in start-up order; the window comes in setUp().
    // `queue` (running on Qt's loop) and `clock` must outlive this.
    DesktopApp(MainQueue& queue, const Clock& clock);
    ~DesktopApp() override;
    DesktopApp(const DesktopApp&) = delete;
    DesktopApp& operator=(const DesktopApp&) = delete;

    // Once: island view and window, the tray, the hover tick, then the
    // engine's set-up (callbacks, 2-second refresh, server, "up" line).
    // Later calls only bring the island forward.
    void setUp();

    // Opens the settings window through onSettings; until one is attached,
    // brings the island forward instead.
    void openSettings();
    // Asks the application to quit; clean-up follows in terminate().
    void quit();
    // Server stopped, socket removed, waiting bridges freed. Idempotent.
    void terminate();

    // A request from a second start ("show" or "settings").
    void handleRequest(const QByteArray& request);

    // Filled by the settings window's wiring.
    std::function<void()> onSettings;

    [[nodiscard]] AppCore& core() { return core_; }
    [[nodiscard]] ui::NotchWindow* window() { return window_.get(); }
    [[nodiscard]] ui::IslandView* view() { return view_; }

  private:
    void trackHover();
    void resize();
    void teachRule(const Gate& gate);

    AppCore core_;
    ui::IslandView* view_ = nullptr;  // owned by window_
    std::unique_ptr<ui::NotchWindow> window_;
    std::unique_ptr<ui::Tray> tray_;
    QTimer hoverTimer_;
    bool didSetUp_ = false;
};

}  // namespace vorla::app
