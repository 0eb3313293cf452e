// Where the agents keep their files. Each lets the user move its folder with
// an environment variable, and so must we, wherever we read
// or write there (hooks, transcripts, context files). Read on every call;
// safe from any thread as long as nobody changes the environment meanwhile.
#pragma once

#include <string>

namespace vorla {

// $CLAUDE_CONFIG_DIR when set and not empty, else <home>/.claude.
[[nodiscard]] std::string claudeConfigDir(const std::string& home);
// $CODEX_HOME when set and not empty, else <home>/.codex.
[[nodiscard]] std::string codexHome(const std::string& home);
// $GEMINI_CLI_HOME/.gemini (it stands in for the home) or <home>/.gemini.
[[nodiscard]] std::string geminiDir(const std::string& home);
// $COPILOT_HOME when set and not empty, else <home>/.copilot.
[[nodiscard]] std::string copilotHome(const std::string& home);
// $QWEN_HOME ("~" and "~/..." taken from the home) or <home>/.qwen.
[[nodiscard]] std::string qwenHome(const std::string& home);
// $XDG_DATA_HOME/opencode or <home>/.local/share/opencode.
[[nodiscard]] std::string opencodeDataDir(const std::string& home);
// $OPENCODE_CONFIG_DIR when set and not empty, else $XDG_CONFIG_HOME/opencode,
// else <home>/.config/opencode: where OpenCode loads its plugins from.
[[nodiscard]] std::string openCodeConfigDir(const std::string& home);

}  // namespace vorla
