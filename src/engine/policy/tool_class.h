// Which kind of tool an agent is calling, from its tool name: the one place
// that knows the agents' built-in tools by name. The risk engine grades by it
// and the island picks the sprite from it, so the two never disagree.
//
// Known names are matched exactly (per agent, below). An unknown name falls
// back on the words in it ("bash", "write", ...) but is never taken for a
// read-only tool: tools served by MCP servers ("mcp__server__tool") name
// themselves, and "mcp__slack__delete_thread" contains "read". Words that run
// commands or write are tested first, so a name holding them is never graded
// as something milder.
// Pure; safe from any thread.
#pragma once

#include <string_view>

namespace vorla {

enum class ToolClass {
    read,       // a built-in tool that only reads (Read, Grep, fs_read, ...)
    shell,      // a built-in shell tool: its detail is a command line
    shellLike,  // an unknown tool whose name says it runs commands
    write,      // a built-in tool that writes files: its detail is a path or patch
    writeLike,  // an unknown tool whose name says it writes files
    plan,       // asks the person to review a plan (ExitPlanMode, ...)
    question,   // asks the person a question (AskUserQuestion, ...)
    readLike,   // an unknown tool whose name says it reads: graded as other
    other,
};

[[nodiscard]] ToolClass classifyTool(std::string_view tool);

}  // namespace vorla
