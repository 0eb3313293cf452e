#include "engine/records/improve.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "engine/policy/risk_engine.h"

namespace vorla::ImproveEngine {

namespace {

struct Tally {
    int approvals = 0;
    int denials = 0;
    const AuditEntry* firstApproval = nullptr;
};

}  // namespace

std::vector<Suggestion> mine(const std::vector<AuditEntry>& entries, int minApprovals) {
    std::vector<std::string> order;  // keys in first-seen order, for stable output
    std::unordered_map<std::string, Tally> tallies;
    std::unordered_set<std::string> critical;
    for (const AuditEntry& entry : entries) {
        if (entry.kind == AuditKind::tool) {
            continue;
        }
        std::string key = RiskEngine::ruleKey(entry.tool, entry.detail);
        auto [it, inserted] = tallies.try_emplace(key);
        if (inserted) {
            order.push_back(key);
        }
        if (entry.riskAtLeast(Risk::critical)) {
            critical.insert(key);
        }
        Tally& tally = it->second;
        if (isDenial(entry.kind)) {
            ++tally.denials;
        } else if (entry.kind == AuditKind::approved) {
            ++tally.approvals;
            if (tally.firstApproval == nullptr) {
                tally.firstApproval = &entry;
            }
        }
    }

    std::vector<Suggestion> suggestions;
    for (const std::string& key : order) {
        const Tally& tally = tallies.at(key);
        if (tally.approvals == 0 || tally.approvals < minApprovals || tally.denials > 0 ||
            critical.contains(key)) {
            continue;
        }
        // A key that would allow any program (python3 -c, npx) is never learned.
        if (RiskEngine::unlearnableReason(tally.firstApproval->tool, tally.firstApproval->detail)) {
            continue;
        }
        suggestions.push_back(Suggestion{key, tally.firstApproval->tool,
                                         tally.firstApproval->detail, tally.approvals, 0,
                                         "Always allow " + key,
                                         "You've approved this " + std::to_string(tally.approvals) +
                                             " times and never denied it."});
    }
    std::stable_sort(
        suggestions.begin(), suggestions.end(),
        [](const Suggestion& a, const Suggestion& b) { return a.approvals > b.approvals; });
    return suggestions;
}

}  // namespace vorla::ImproveEngine
