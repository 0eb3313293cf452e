// Reading, backing up and rewriting the agents' JSON configuration files.
// The files belong to the user and the agents, so every change is a parse,
// modify and atomic, synced rewrite, after a time-stamped backup copy.
//
// Failures are Results whose message is shown to the user. Main thread only
// (blocking file access, no shared state).
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "core/result.h"
#include "engine/support/clock.h"

namespace vorla::installer {

struct ConfigFile {
    enum class State { missing, object, invalid };
    State state = State::missing;
    nlohmann::json root = nlohmann::json::object();  // the object when state is `object`
};

// Missing when the file does not exist; invalid when it exists but cannot be
// read, is empty, is not JSON or is JSON but not an object.
[[nodiscard]] ConfigFile loadConfig(const std::string& path);

// Writes `text` atomically and synced, creating missing folders. An existing
// file keeps its mode, and a symbolic link keeps pointing at the file it names
// (which is the one rewritten).
[[nodiscard]] Result<> writeText(const std::string& path, std::string_view text);

// writeText of `root` indented, with sorted keys.
[[nodiscard]] Result<> writeConfig(const std::string& path, const nlohmann::json& root);

// The stamp of a backup folder: ISO 8601 in UTC with ":" replaced by "-".
[[nodiscard]] std::string backupStamp(WallTime now);

// Copies home/relative (or `relative` itself when it is absolute: an agent's
// folder moved out of home) to ~/.vorla-agents/backups/<stamp>/<relative with
// "/" replaced by "_">. Nothing to do when the file does not exist; a failed copy
// (one already taken this second) is skipped; failing to create the folder is
// an error.
[[nodiscard]] Result<> backup(const std::string& home, const std::string& relative, WallTime now);

}  // namespace vorla::installer
