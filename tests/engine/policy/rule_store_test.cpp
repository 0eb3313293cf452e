#include "engine/policy/rule_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>

#include "engine/support/calendar.h"
#include "support/manual_clock.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

constexpr const char* kRulesFile = ".vorla-agents/data/rules.json";

class RuleStoreTest : public ::testing::Test {
  protected:
    void writeRules(const std::string& text) { home_.write(kRulesFile, text); }
    std::optional<std::vector<Rule>> rulesOnDisk() const {
        auto text = home_.read(kRulesFile);
        return text ? decodeRules(*text) : std::nullopt;
    }
    std::vector<std::string> corruptCopies() const {
        std::vector<std::string> names;
        for (const auto& entry :
             std::filesystem::directory_iterator(home_.file(".vorla-agents/data"))) {
            std::string name = entry.path().filename().string();
            if (name.starts_with("rules.json.corrupt-")) {
                names.push_back(name);
            }
        }
        return names;
    }

    test::TempHome home_;
    test::ManualClock clock_{fromEpochSeconds(1764000000.25)};
};

TEST_F(RuleStoreTest, AddKeepsOneRulePerKeyAndSavesCompactly) {
    RuleStore store(clock_);
    store.add("Bash", "npm test", Behavior::allow);
    store.add("Bash", "npm test", Behavior::deny);
    store.add("Bash", "npm  test --watch", Behavior::allow);
    ASSERT_EQ(store.rules().size(), 1u);
    EXPECT_EQ(store.rules()[0].key, "Bash: npm test");
    EXPECT_EQ(store.rules()[0].behavior, Behavior::allow);
    EXPECT_EQ(
        *home_.read(kRulesFile),
        R"([{"behavior":"allow","createdAt":785692800.25,"key":"Bash: npm test","timesFired":0}])");
    struct stat info {};
    ASSERT_EQ(::stat(home_.file(kRulesFile).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_TRUE(corruptCopies().empty());  // a missing file is nothing to keep aside
}

TEST_F(RuleStoreTest, DecisionCountsHitsOnDiskAndSurvivesReload) {
    {
        RuleStore store(clock_);
        store.add("Bash", "npm test", Behavior::allow);
        EXPECT_EQ(store.decision("Bash", "npm test -- --coverage"), Behavior::allow);
        EXPECT_EQ(store.decision("Bash", "npm run build"), std::nullopt);
        EXPECT_EQ(store.decision("Read", "npm test"), std::nullopt);
    }
    ASSERT_EQ(rulesOnDisk()->at(0).timesFired, 1);
    RuleStore reloaded(clock_);
    ASSERT_EQ(reloaded.rules().size(), 1u);
    EXPECT_EQ(reloaded.rules()[0].createdAt, clock_.now());
    EXPECT_EQ(reloaded.decision("Bash", "npm test"), Behavior::allow);
    EXPECT_EQ(rulesOnDisk()->at(0).timesFired, 2);
}

TEST_F(RuleStoreTest, OnlyExactlyAllowAllows) {
    writeRules(R"([{"key":"Bash: git commit","behavior":"Allow","createdAt":1,"timesFired":0},
                   {"key":"Bash: git push","behavior":"deny","createdAt":2.5,"timesFired":7}])");
    RuleStore store(clock_);
    EXPECT_EQ(store.peek("Bash", "git push"), Behavior::deny);  // counts nothing
    EXPECT_EQ(store.decision("Bash", "git commit -m x"), Behavior::deny);
    EXPECT_EQ(store.decision("Bash", "git push"), Behavior::deny);
    EXPECT_EQ(store.rules()[1].timesFired, 8);
    // Saved as what it does.
    EXPECT_NE(home_.read(kRulesFile)->find(R"({"behavior":"deny","createdAt":1.0,)"),
              std::string::npos);
}

TEST_F(RuleStoreTest, RulesAnswerOnlyTheCallsTheyWereTaught) {
    writeRules(R"([{"key":"Bash: git status","behavior":"allow","createdAt":1,"timesFired":0},
                   {"key":"Bash: rm notes.txt","behavior":"deny","createdAt":2,"timesFired":0},
                   {"key":"Write: /root/.bashrc","behavior":"allow","createdAt":3,"timesFired":0}])");
    RuleStore store(clock_);
    EXPECT_EQ(store.decision("Bash", "git status --short | head"), Behavior::allow);
    EXPECT_EQ(store.decision("Bash", "git status && rm -rf ~"), std::nullopt);
    EXPECT_EQ(store.decision("Bash", "git status > ~/.bashrc"), std::nullopt);
    EXPECT_EQ(store.decision("Write", "/root/.bashrc"), std::nullopt);  // DESTRUCTIVE
    // A deny rule stops any compound holding its command.
    EXPECT_EQ(store.decision("Bash", "ls; rm notes.txt"), Behavior::deny);
    EXPECT_EQ(store.rules()[0].timesFired, 1);
    EXPECT_EQ(store.rules()[1].timesFired, 1);
    EXPECT_EQ(store.rules()[2].timesFired, 0);
}

TEST_F(RuleStoreTest, InlineCodeIsAllowedOnceButNotLearned) {
    RuleStore store(clock_);
    EXPECT_EQ(store.add("Bash", "python3 -c \"print(1)\"", Behavior::allow),
              "python3 -c runs whatever code follows it");
    EXPECT_EQ(store.add("Bash", "npx cowsay hi", Behavior::allow), "npx runs whatever follows it");
    EXPECT_TRUE(store.rules().empty());
    EXPECT_EQ(store.add("Bash", "npm test", Behavior::allow), std::nullopt);
    EXPECT_EQ(store.rules().size(), 1U);
}

TEST_F(RuleStoreTest, RemoveDropsEveryRuleSharingTheKey) {
    writeRules(R"([{"key":"A","behavior":"allow","createdAt":1,"timesFired":0},
                   {"key":"B","behavior":"allow","createdAt":1,"timesFired":0},
                   {"key":"A","behavior":"deny","createdAt":2,"timesFired":0},
                   {"key":"C","behavior":"allow","createdAt":1,"timesFired":0}])");
    RuleStore store(clock_);
    store.remove(store.rules()[2]);
    ASSERT_EQ(store.rules().size(), 2u);
    EXPECT_EQ(store.rules()[0].key, "B");
    EXPECT_EQ(store.rules()[1].key, "C");
    EXPECT_EQ(rulesOnDisk()->size(), 2u);
}

TEST_F(RuleStoreTest, FilesThatDoNotDecodeLoadNothing) {
    for (const char* text :
         {"", "{}", "[{\"key\":\"A\",\"behavior\":\"allow\"",
          R"([{"key":"A","behavior":"allow","createdAt":1,"timesFired":0},
                                 {"key":"B","behavior":"allow","createdAt":1}])",
          R"([{"key":"A","behavior":"allow","createdAt":1,"timesFired":0.5}])"}) {
        writeRules(text);
        RuleStore store(clock_);
        EXPECT_TRUE(store.rules().empty()) << text;
    }
}

// A hand-edited time far outside what a clock can hold keeps its rule, at the
// nearest time that can be stored (it overflowed the conversion before).
TEST_F(RuleStoreTest, TimesBeyondTheClockRangeAreClamped) {
    writeRules(R"([{"key":"A","behavior":"allow","createdAt":-1e300,"timesFired":0},
                   {"key":"B","behavior":"deny","createdAt":1e300,"timesFired":0}])");
    RuleStore store(clock_);
    ASSERT_EQ(store.rules().size(), 2u);
    EXPECT_LT(store.rules()[0].createdAt, *parseISO8601("1700-01-01T00:00:00Z"));
    EXPECT_GT(store.rules()[1].createdAt, *parseISO8601("2250-01-01T00:00:00Z"));
    EXPECT_EQ(fromEpochSeconds(std::nan("")), fromEpochSeconds(0));
}

TEST_F(RuleStoreTest, UndecodableFileIsKeptAsideBeforeTheFirstSave) {
    const std::string handEdited = R"([{"key":"Bash: rm -rf","behavior":"deny","createdAt":1}])";
    writeRules(handEdited);
    RuleStore store(clock_);
    EXPECT_TRUE(store.rules().empty());
    EXPECT_EQ(*home_.read(kRulesFile), handEdited);  // loading never writes

    store.add("Bash", "npm test", Behavior::allow);
    std::string aside = "rules.json.corrupt-" + fileStampUTC(clock_.now());
    EXPECT_EQ(corruptCopies(), std::vector<std::string>{aside});
    EXPECT_EQ(home_.read(".vorla-agents/data/" + aside), handEdited);
    EXPECT_EQ(rulesOnDisk()->size(), 1u);

    store.add("Bash", "make all", Behavior::allow);  // later saves just replace
    EXPECT_EQ(corruptCopies().size(), 1u);
    EXPECT_EQ(rulesOnDisk()->size(), 2u);
}

TEST_F(RuleStoreTest, ObserversHearEveryChange) {
    RuleStore store(clock_);
    int changes = 0;
    auto subscription = store.subscribe([&] { ++changes; });
    store.add("Bash", "ls", Behavior::allow);
    (void)store.decision("Bash", "ls");
    store.remove(store.rules()[0]);
    EXPECT_EQ(changes, 3);
}

}  // namespace
}  // namespace vorla
