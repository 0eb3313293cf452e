// The start-up check of ~/.vorla-agents: every folder we keep there must be
// the user's own, a real folder (not a symbolic link) and writable by nobody
// else. A folder someone else prepared could hold their rules, preferences
// or socket, so it is refused rather than used.
//
// Plain functions; call once, before anything reads or writes there.
#pragma once

#include <string>

#include "core/result.h"

namespace vorla {

// Checks `root` (~/.vorla-agents by default) and its run, data and audit
// folders, creating those that are missing (0700), and the bin and backups
// folders when they exist. A folder of ours that others may write to is
// made private (0700) and logged. Fails with the one line to show, saying
// what is wrong and how to fix it, when a folder belongs to someone else,
// is a symbolic link, or is not a folder.
[[nodiscard]] Result<> secureDataFolder(const std::string& root = {});

}  // namespace vorla
