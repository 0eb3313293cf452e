// Rule suggestions: actions the user keeps approving by hand and has never
// denied, proposed as learned "always allow" rules. A pure function over
// audit entries; safe from any thread.
#pragma once

#include <string>
#include <vector>

#include "engine/records/audit_entry.h"

namespace vorla {

struct Suggestion {
    std::string key;     // RiskEngine::ruleKey of the action
    std::string tool;    // of the first approval seen for the key
    std::string detail;  // of that approval, in full
    int approvals = 0;
    int denials = 0;     // always 0: a denied key is never suggested
    std::string title;   // "Always allow <key>"
    std::string reason;  // "You've approved this <n> times and never denied it."

    [[nodiscard]] const std::string& id() const { return key; }
    friend bool operator==(const Suggestion&, const Suggestion&) = default;
};

namespace ImproveEngine {

// Keys with at least `minApprovals` user approvals, no denial of any kind and
// no critical-risk entry, most approved first (ties in first-seen order).
// Tool runs are ignored, automatic approvals count neither way.
[[nodiscard]] std::vector<Suggestion> mine(const std::vector<AuditEntry>& entries,
                                           int minApprovals = 3);

}  // namespace ImproveEngine

}  // namespace vorla
