// Where the application keeps its files. Computed on every call from the home
// directory, never cached, so a test can point HOME somewhere else.
#pragma once

#include <string>

namespace vorla {

// $HOME when set and non-empty, else the password database entry, else "/".
[[nodiscard]] std::string homeDirectory();

// ~/.vorla-agents
[[nodiscard]] std::string vorlaHome();

// ~/.vorla-agents/run
[[nodiscard]] std::string runDir();

// ~/.vorla-agents/run/vorla.sock
[[nodiscard]] std::string socketPath();

// ~/.vorla-agents/data (rules, game, preferences, usage cache)
[[nodiscard]] std::string dataDir();

// ~/.vorla-agents/audit (one JSON-lines file per local day)
[[nodiscard]] std::string auditDir();

// The user's desktop folder: $XDG_DESKTOP_DIR, else the XDG_DESKTOP_DIR line
// of ~/.config/user-dirs.dirs (what `xdg-user-dir DESKTOP` reads), else ~/Desktop.
[[nodiscard]] std::string desktopDirectory();

}  // namespace vorla
