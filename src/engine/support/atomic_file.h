// Whole-file writes that never leave a half-written file behind, and the
// folder/permission conventions for everything under ~/.vorla-agents.
//
// Error policy: functions return false / nullopt on failure and never throw;
// callers that must keep going (the in-memory state stays authoritative)
// simply ignore the result.
#pragma once

#include <string>
#include <string_view>

namespace vorla {

enum class Durability { normal, synced };

// Writes `contents` to a temporary file in the same folder, then renames it
// over `path`. Creates missing parent folders with mode 0700; the file gets
// `mode` (0600 by default). Durability::synced also fsyncs the file and the
// folder: use it for the user's own data (rules, game, agent configurations).
// On failure the temporary file is removed and `path` is left untouched.
[[nodiscard]] bool writeFileAtomically(const std::string& path, std::string_view contents,
                                       Durability durability = Durability::normal,
                                       unsigned mode = 0600);

// Creates `path` and missing parents with mode 0700. True when it exists as a
// folder afterwards.
[[nodiscard]] bool ensurePrivateDirectory(const std::string& path);

}  // namespace vorla
