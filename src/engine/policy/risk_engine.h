// Grades a tool call before it runs: which tool class it belongs to, and for
// shell commands what every command in the line does. The gate path
// compares the grade with the user's auto-approve level.
//
// Stateless: the compiled pattern sets are built once on first use and are
// immutable afterwards, so every function here is safe from any thread.
// Grading is linear in the length of the detail, so a hostile multi-megabyte
// command cannot stall the main thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/json_value.h"
#include "engine/policy/risk.h"

namespace vorla::RiskEngine {

// `detail` is the preview of the tool input (the whole command line for a
// shell tool, the file path or patch for a file tool); `cwd` is the agent's
// working directory when known. Never fails.
[[nodiscard]] RiskVerdict assess(std::string_view tool, std::string_view detail,
                                 const std::optional<std::string>& cwd);

// What to grade for a tool input: its preview, except that a command given
// as a list of words (["bash", "-lc", "ls; rm x"]) is written back as one
// shell line with each word quoted, so no word can pass for syntax and the
// code inside still is graded.
[[nodiscard]] std::string gradedText(const JSONValue& input);

// The learned-rule key: the tool name, ": " and the first two space-separated
// words of the detail ("Bash: npm test"); the tool name alone when the detail
// has no words. Only U+0020 separates words.
[[nodiscard]] std::string ruleKey(std::string_view tool, std::string_view detail);

// Whether an allow rule whose key matches may answer this call: for a shell
// tool only one simple command, or a pipeline whose later commands only
// read, with no substitution and no redirection other than to /dev/null or
// between descriptors; for any tool, nothing graded DESTRUCTIVE.
[[nodiscard]] bool allowRuleMayAnswer(std::string_view tool, std::string_view detail);

// The rule keys of each simple command of a shell line ("ls; rm x" gives
// "Bash: ls" and "Bash: rm x"), so a deny rule also stops a compound.
[[nodiscard]] std::vector<std::string> commandRuleKeys(std::string_view tool,
                                                       std::string_view detail);

// Why "always allow" must not learn this call's key: it would allow any
// program ("python3 -c runs whatever code follows it"). Absent otherwise.
[[nodiscard]] std::optional<std::string> unlearnableReason(std::string_view tool,
                                                           std::string_view detail);

}  // namespace vorla::RiskEngine
