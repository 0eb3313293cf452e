// How the island names and draws a tool: its sprite and its short label.
// Pure; safe from any thread.
#pragma once

#include <string>
#include <string_view>

#include "engine/session/sprite_kind.h"

namespace vorla {

// The sprite for a tool, from the class the risk engine grades it by.
[[nodiscard]] SpriteKind spriteFor(std::string_view tool);
// "mcp__github__create_issue" -> "create_issue"; longer than 16
// user-perceived characters -> the first 15 and "…".
[[nodiscard]] std::string shortTool(std::string_view name);

}  // namespace vorla
