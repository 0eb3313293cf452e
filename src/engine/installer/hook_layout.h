// What our hook entries look like in each agent's configuration, and how to
// tell ours from another notch application's. Pure functions on JSON values;
// safe from any thread.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "core/protocol.h"

namespace vorla::installer {

// Path of the staged bridge under `home`.
[[nodiscard]] std::string stagedBridgePath(const std::string& home);

// `text` in single quotes for sh, each inner ' written as '\''.
[[nodiscard]] std::string shellQuoted(std::string_view text);

// {"type": "command", "command": "'<bridge>' --source <agent>", "timeout": seconds}
[[nodiscard]] nlohmann::json hookEntry(const std::string& home, Source agent, int timeout);

// {"hooks": [entry]} plus "matcher" when given.
[[nodiscard]] nlohmann::json group(const std::string& home, Source agent,
                                   std::optional<std::string_view> matcher, int timeout);

// The whole "hooks" object we install for each agent, keyed by event name.
[[nodiscard]] nlohmann::json claudeHooks(const std::string& home);
[[nodiscard]] nlohmann::json codexHooks(const std::string& home);
[[nodiscard]] nlohmann::json grokHooks(const std::string& home);
// Gemini CLI's own event names; time-outs in milliseconds, a matcher is a
// regular expression ("" matches every tool).
[[nodiscard]] nlohmann::json geminiHooks(const std::string& home);
// Claude Code's event names; Qwen Code reads a time-out of 1000 or more as
// milliseconds.
[[nodiscard]] nlohmann::json qwenHooks(const std::string& home);
// Copilot CLI's whole hook file, {"version": 1, "hooks": {...}}. Its hooks
// learn nothing of the event they run for: each command names it with
// "--event <name>".
[[nodiscard]] nlohmann::json copilotHookFile(const std::string& home);

// The "command" text of a hook entry ("" when missing or not text).
[[nodiscard]] std::string commandOf(const nlohmann::json& entry);

// "'<home>/.vorla-agents/bin/vorla-bridge' --source <agent>": what our entry
// for `agent` runs.
[[nodiscard]] std::string ourCommand(const std::string& home, Source agent);

// A command is ours when it is exactly one of ourCommand(home, any agent).
// One that merely mentions us (a user's "vorlaguard" script) is not: we must
// never remove or trust it.
[[nodiscard]] bool isOurs(std::string_view command, const std::string& home);

// The other owner a command belongs to, if any.
[[nodiscard]] std::optional<std::string> foreignOwnerOf(std::string_view command);

struct ScanResult {
    bool ours = false;
    std::optional<std::string> foreignOwner;  // the last foreign entry found wins
};

// Walks every event list of a "hooks" object.
[[nodiscard]] ScanResult scan(const nlohmann::json& hooks, const std::string& home);

// The text that marks `owner`'s commands when evicting them: "pebble-harbor"
// when the owner's name mentions pebble, else "island".
[[nodiscard]] std::string evictionNeedle(std::string_view owner);

inline constexpr std::string_view kPebbleHarbor = "Pebble Harbor";
inline constexpr std::string_view kAnotherNotchApp = "another notch app";

}  // namespace vorla::installer
