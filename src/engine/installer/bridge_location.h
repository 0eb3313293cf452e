// Where our programs find each other: the installer the vorla-bridge it
// stages, the vorla-agents command the vorla-agents-app it runs. Beside the
// running executable (a build tree, or a relocated install), then in the
// install prefix's libexec folder. Safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vorla::installer {

// Candidate paths of `program` in the order they are tried. `libexecDir` is
// the installed <prefix>/libexec/vorla-agents folder.
[[nodiscard]] std::vector<std::string> programCandidates(const std::string& program,
                                                         const std::string& libexecDir);
[[nodiscard]] std::vector<std::string> bridgeCandidates(const std::string& libexecDir);

// The first candidate that is a regular, executable file.
[[nodiscard]] std::optional<std::string> findExecutable(const std::vector<std::string>& candidates);

}  // namespace vorla::installer
