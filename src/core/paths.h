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

}  // namespace vorla
