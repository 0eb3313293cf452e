// Opens the one settings window and decides whether it opens by itself at
// start-up. The composition root owns the host; the tray's "Settings…", the
// island's gear and a second start of the app all call open().
//
// Interface thread only.
#pragma once

#include <QPointer>
#include <string_view>
#include <vector>

#include "engine/installer/installer.h"
#include "ui/settings/settings_window.h"

namespace vorla::ui {

class SettingsHost {
  public:
    explicit SettingsHost(SettingsContext context);
    // Closes the window and waits for its pages' background work.
    ~SettingsHost();

    // Refreshes the installer's view of the agents, creates the window when
    // none is open (on VORLA_TAB's tab), and brings it to the front.
    void open();
    // The open window, or null once it was closed.
    [[nodiscard]] SettingsWindow* window() const { return window_.data(); }

  private:
    SettingsContext context_;
    QPointer<SettingsWindow> window_;
};

// At start-up: open when no agent has our hooks installed, or when
// VORLA_SETTINGS (`flag`, null when unset) is exactly "1".
[[nodiscard]] bool opensAtStart(const std::vector<Installer::Agent>& agents, const char* flag);

}  // namespace vorla::ui
