// Grades a tool call before it runs: which tool class it belongs to, and for
// shell commands which destructive, elevated or read-only patterns it hits.
// The gate path compares the grade with the user's auto-approve level.
//
// Stateless: the compiled pattern sets are built once on first use and are
// immutable afterwards, so every function here is safe from any thread.
// Matching is linear in the length of the detail (RE2), so a hostile
// multi-megabyte command cannot stall the main thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/policy/risk.h"

namespace vorla {

struct RiskVerdict {
    Risk level = Risk::normal;
    std::vector<std::string> reasons;  // never empty

    friend bool operator==(const RiskVerdict&, const RiskVerdict&) = default;
};

namespace RiskEngine {

// `detail` is the one-line preview of the tool input (the command line for a
// shell tool, the file path for a file tool); `cwd` is the agent's working
// directory when known. Never fails.
[[nodiscard]] RiskVerdict assess(std::string_view tool, std::string_view detail,
                                 const std::optional<std::string>& cwd);

// The learned-rule key: the tool name, ": " and the first two space-separated
// words of the detail ("Bash: npm test"); the tool name alone when the detail
// has no words. Only U+0020 separates words.
[[nodiscard]] std::string ruleKey(std::string_view tool, std::string_view detail);

}  // namespace RiskEngine

}  // namespace vorla
