// Where Claude Code and Codex keep their files. Both agents let the user move
// the folder with an environment variable, and so must we, wherever we read
// or write there (hooks, transcripts, context files). Read on every call;
// safe from any thread as long as nobody changes the environment meanwhile.
#pragma once

#include <string>

namespace vorla {

// $CLAUDE_CONFIG_DIR when set and not empty, else <home>/.claude.
[[nodiscard]] std::string claudeConfigDir(const std::string& home);
// $CODEX_HOME when set and not empty, else <home>/.codex.
[[nodiscard]] std::string codexHome(const std::string& home);

}  // namespace vorla
