#include "engine/policy/tool_class.h"

#include <algorithm>
#include <array>

#include "core/text.h"

namespace vorla {

namespace {

// Each agent's built-in tools by exact name. Names shared between agents
// mean the same there (read_file reads in Codex, Gemini CLI and Qwen Code).
// Tools that read several files at once (Gemini CLI's read_many_files) are
// left out: their input names no single path to look at.
constexpr auto kReadTools = std::to_array<std::string_view>({
    // Claude Code
    "Read",
    "Glob",
    "Grep",
    "LS",
    "NotebookRead",
    "WebSearch",
    "TodoRead",
    "BashOutput",
    // Codex
    "read_file",
    "list_dir",
    "grep_files",
    "view_image",
    "web_search",
    // Grok
    "view_file",
    "search",
    // Kiro
    "fs_read",
    // Gemini CLI and Qwen Code (also read_file, web_search)
    "list_directory",
    "glob",
    "grep_search",
    "google_web_search",
    // Copilot CLI (also glob); read_bash reads a running shell's output.
    // write_bash types into that shell, or into whatever program runs there:
    // shell-like by its name, its text is graded but never taken as read-only.
    "view",
    "grep",
    "read_bash",
    // OpenCode (also glob, grep)
    "read",
    "list",
});

constexpr auto kShellTools = std::to_array<std::string_view>({
    "Bash", "bash", "shell", "exec_command", "local_shell", "shell_command", "execute_bash",
    "run_shell_command",  // Gemini CLI, Qwen Code
    "run_terminal_cmd",
    "powershell",  // Copilot CLI
});

constexpr auto kWriteTools = std::to_array<std::string_view>({
    "Write",
    "Edit",
    "MultiEdit",
    "NotebookEdit",
    "apply_patch",
    "create_file",
    "str_replace_editor",
    "fs_write",
    "write_file",
    "edit_file",
    // Gemini CLI
    "replace",
    // Copilot CLI
    "create",
    "edit",
    // Qwen Code (also write_file, edit)
    "notebook_edit",
    // OpenCode (also edit, apply_patch)
    "write",
    "multiedit",
    "patch",
});

constexpr std::array<std::string_view, 1> kPlanTools = {"ExitPlanMode"};
constexpr std::array<std::string_view, 1> kQuestionTools = {"AskUserQuestion"};

constexpr std::array<std::string_view, 5> kShellWords = {"bash", "shell", "terminal", "exec",
                                                         "command"};
constexpr std::array<std::string_view, 3> kWriteWords = {"write", "edit", "create"};
constexpr std::array<std::string_view, 1> kPlanWords = {"plan"};
// Not "ask": "Task" (a sub-agent) and "mask" contain it.
constexpr std::array<std::string_view, 3> kQuestionWords = {"question", "ask_user", "askuser"};
constexpr std::array<std::string_view, 4> kReadWords = {"read", "grep", "glob", "search"};

bool listed(std::string_view name, const auto& names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool containsAny(std::string_view text, const auto& words) {
    return std::any_of(words.begin(), words.end(), [&](std::string_view word) {
        return text.find(word) != std::string_view::npos;
    });
}

}  // namespace

ToolClass classifyTool(std::string_view tool) {
    // MCP tools ("mcp__server__tool") never match a built-in name; their
    // names still say when they run commands or write, which only asks more.
    if (listed(tool, kReadTools)) {
        return ToolClass::read;
    }
    if (listed(tool, kShellTools)) {
        return ToolClass::shell;
    }
    if (listed(tool, kWriteTools)) {
        return ToolClass::write;
    }
    if (listed(tool, kPlanTools)) {
        return ToolClass::plan;
    }
    if (listed(tool, kQuestionTools)) {
        return ToolClass::question;
    }
    const std::string lower = asciiLower(tool);
    if (containsAny(lower, kShellWords)) {
        return ToolClass::shellLike;
    }
    if (containsAny(lower, kWriteWords)) {
        return ToolClass::writeLike;
    }
    if (containsAny(lower, kPlanWords)) {
        return ToolClass::plan;
    }
    if (containsAny(lower, kQuestionWords)) {
        return ToolClass::question;
    }
    if (containsAny(lower, kReadWords)) {
        return ToolClass::readLike;
    }
    return ToolClass::other;
}

}  // namespace vorla
