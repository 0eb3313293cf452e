#include "engine/records/improve.h"

#include <gtest/gtest.h>

namespace vorla {
namespace {

AuditEntry decided(std::string_view kind, std::string detail, std::optional<int> risk = 0,
                   std::string tool = "Bash") {
    AuditEntry entry{WallTime{},      "claude",          "s", "p", AuditKind::tool,
                     std::move(tool), std::move(detail), risk};
    entry.setKind(kind);
    return entry;
}

TEST(ImproveEngineTest, ApprovalsSharingTheFirstTwoWordsCountTogether) {
    std::vector<AuditEntry> entries = {
        decided("approved", "git status --short"),
        decided("approved", "git status"),
        decided("tool", "git status"),             // plain runs never count
        decided("auto-allowed", "git status -b"),  // automatic: neither way
        decided("approved", "git  status -uno"),
    };
    auto suggestions = ImproveEngine::mine(entries, 3);
    ASSERT_EQ(suggestions.size(), 1u);
    EXPECT_EQ(suggestions[0], (Suggestion{"Bash: git status", "Bash", "git status --short", 3, 0,
                                          "Always allow Bash: git status",
                                          "You've approved this 3 times and never denied it."}));
    EXPECT_TRUE(ImproveEngine::mine({entries[0], entries[1]}, 3).empty());
}

TEST(ImproveEngineTest, AnyDenialCriticalRiskOrInlineCodeSuppressesAKey) {
    std::vector<AuditEntry> entries;
    for (int i = 0; i < 5; ++i) {
        entries.push_back(decided("approved", "npm test"));
        entries.push_back(decided("approved", "make all"));
        entries.push_back(decided("approved", "cargo build"));
    }
    entries.push_back(decided("auto-denied", "npm test"));
    entries.push_back(decided("denied", "make all --dry-run"));
    for (int i = 0; i < 5; ++i) {
        entries.push_back(decided("approved", "rm -rf build"));
    }
    entries.push_back(decided("approved", "rm -rf build", 3));
    for (int i = 0; i < 5; ++i) {
        entries.push_back(decided("approved", "python3 -c 'print(" + std::to_string(i) + ")'"));
    }
    auto suggestions = ImproveEngine::mine(entries, 3);
    ASSERT_EQ(suggestions.size(), 1u);
    EXPECT_EQ(suggestions[0].key, "Bash: cargo build");
}

TEST(ImproveEngineTest, SortedByApprovalsWithBareToolKeys) {
    std::vector<AuditEntry> entries(4, decided("approved", "", 0, "WebSearch"));
    entries.insert(entries.end(), 6, decided("approved", "npm test"));
    auto suggestions = ImproveEngine::mine(entries, 3);
    ASSERT_EQ(suggestions.size(), 2u);
    EXPECT_EQ(suggestions[0].approvals, 6);
    EXPECT_EQ(suggestions[1].key, "WebSearch");
    EXPECT_EQ(suggestions[1].reason, "You've approved this 4 times and never denied it.");
}

}  // namespace
}  // namespace vorla
