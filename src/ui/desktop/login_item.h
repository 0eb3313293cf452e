// Launch at login on a Linux desktop: an XDG autostart entry,
// <config>/autostart/vorla-agents.desktop (config = $XDG_CONFIG_HOME, else
// ~/.config), whose Exec is the absolute path of the running executable.
//
// Interface thread (called from Prefs on the main thread). Failures are
// returned as a description for Prefs to log; nothing throws.
#pragma once

#include <optional>
#include <string>

#include "engine/policy/prefs.h"

namespace vorla::ui {

class XdgLoginItems final : public LoginItems {
  public:
    // `executable`: the program the entry starts (absolute).
    explicit XdgLoginItems(std::string executable, std::string entryPath = defaultEntryPath());

    [[nodiscard]] static std::string defaultEntryPath();
    // The running program, from /proc/self/exe.
    [[nodiscard]] static std::string runningExecutable();

    // Writes the entry (true) or removes it (false); removing a missing entry
    // succeeds.
    [[nodiscard]] Result<> setRegistered(bool registered) override;
    // Whether the entry is there now.
    [[nodiscard]] bool registered() const;
    [[nodiscard]] const std::string& entryPath() const { return entryPath_; }
    [[nodiscard]] const std::string& executable() const { return executable_; }

  private:
    std::string executable_;
    std::string entryPath_;
};

// The desktop entry's text for `executable`.
[[nodiscard]] std::string autostartEntry(const std::string& executable);

}  // namespace vorla::ui
