// Whole-file writes that never leave a half-written file behind, and the
// folder/permission conventions for everything under ~/.vorla-agents.
//
// Both fail with the system's description of what went wrong ("No space
// left on device"); callers name the file in their own words. Callers that
// must keep going (the in-memory state stays authoritative) ignore it.
#pragma once

#include <string>
#include <string_view>

#include "core/result.h"

namespace vorla {

enum class Durability { normal, synced };

// Writes `contents` to a temporary file in the same folder, then renames it
// over `path`. Creates missing parent folders with mode 0700; the file gets
// `mode` (0600 by default). Durability::synced also fsyncs the file and the
// folder: use it for the user's own data (rules, game, agent configurations).
// On failure the temporary file is removed and `path` is left untouched.
[[nodiscard]] Result<> writeFileAtomically(const std::string& path, std::string_view contents,
                                           Durability durability = Durability::normal,
                                           unsigned mode = 0600);

// Creates `path` and missing parents with mode 0700. Succeeds when it exists
// as a folder afterwards.
[[nodiscard]] Result<> ensurePrivateDirectory(const std::string& path);

}  // namespace vorla
