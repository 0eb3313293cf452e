// Where the installer finds the vorla-bridge program it stages: beside the
// running vorla-agents executable (a build tree, or a relocated install), then
// in the install prefix's libexec folder. Safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vorla::installer {

// Candidate paths in the order they are tried. `libexecDir` is the installed
// <prefix>/libexec/vorla-agents folder.
[[nodiscard]] std::vector<std::string> bridgeCandidates(const std::string& libexecDir);

// The first candidate that is a regular, executable file.
[[nodiscard]] std::optional<std::string> findBridge(const std::vector<std::string>& candidates);

}  // namespace vorla::installer
