// What the settings pages show and act on: the application's long-lived
// stores (owned by the composition root, which outlives the window) and the
// few desktop services the pages call. Interface thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vorla {
class SessionStore;
class Installer;
class Prefs;
class RuleStore;
class AuditLog;
class RemoteApproval;
class Game;
class Clock;
}  // namespace vorla

namespace vorla::ui {

struct SettingsContext {
    SessionStore& store;
    Installer& installer;
    Prefs& prefs;
    RuleStore& rules;
    AuditLog& auditLog;
    RemoteApproval& remote;
    Game& game;
    const Clock& clock;
    // Opens a folder in the file browser ("Jump").
    std::function<void(const std::string& folder)> openFolder;
    // Shows a file selected in the file browser ("Reveal").
    std::function<void(const std::string& file)> revealFile;
    // Whether the app really starts at login, so the switch shows the truth
    // after a failed toggle. Unset: the preference is shown.
    std::function<bool()> loginItemRegistered;
    // On desktops that do not run XDG autostart entries (sway, Hyprland): the
    // line to add to the desktop's own configuration instead.
    std::optional<std::string> autostartLine = std::nullopt;
};

}  // namespace vorla::ui
