// The desktop half of the composition root: the engine of AppCore (shared
// with --headless) plus the island window, its 60 ms hover-and-resize tick
// and the tray (made once the desktop has one). Sound, notifications with
// their Allow and Deny buttons and the settings window attach here.
//
// Main thread only (the thread running QApplication::exec()).
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

#include "app/app_core.h"
#include "engine/installer/installer.h"
#include "ui/desktop/desktop_notifications.h"
#include "ui/desktop/tray.h"
#include "ui/island/island.h"
#include "ui/settings/settings_host.h"

namespace vorla::app {

class DesktopApp final : public QObject {
  public:
    // Creates the engine objects in start-up order, with the desktop's sound
    // and notifications; the window comes in setUp(). `queue` (running on
    // Qt's loop) and `clock` must outlive this.
    DesktopApp(MainQueue& queue, const Clock& clock);
    ~DesktopApp() override;
    DesktopApp(const DesktopApp&) = delete;
    DesktopApp& operator=(const DesktopApp&) = delete;

    // Once: the island (view, window, 60 ms hover tick), the tray, then the
    // engine's set-up (callbacks, 2-second refresh, server, "up" line).
    // Later calls only bring the island forward.
    void setUp();

    // Opens the settings window (or brings it to the front).
    void openSettings();
    // Asks the application to quit; clean-up follows in terminate().
    void quit();
    // Server stopped, socket removed, waiting bridges freed. Idempotent.
    void terminate();

    // A request from a second start ("show" or "settings").
    void handleRequest(const QByteArray& request);

    [[nodiscard]] AppCore& core() { return core_; }
    // Null until setUp().
    [[nodiscard]] ui::Island* island() { return island_.get(); }

  private:
    void teachRule(const Gate& gate);
    void watchForTray();
    void answerFromNotifications();

    // Owned by core_ (its notifier's poster); null without a notification
    // client. Set before core_ is made.
    ui::DesktopNotifications* notifications_ = nullptr;
    AppCore core_;
    Installer installer_;
    ui::SettingsHost settings_;           // after the engine objects it shows
    std::unique_ptr<ui::Island> island_;  // after core_: it observes the store
    std::unique_ptr<ui::Tray> tray_;
    std::unique_ptr<ui::TrayHostWatch> trayWatch_;
    Subscription gatesSubscription_;
    bool didSetUp_ = false;
};

}  // namespace vorla::app
