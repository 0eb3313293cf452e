#include "engine/session/gate_decider.h"

#include <gtest/gtest.h>

#include "store_fixture.h"

namespace vorla::test {
namespace {

class GateDeciderTest : public StoreTest {
  protected:
    GateOutcome at(const std::string& tool, const std::string& detail, Risk level) {
        return decider.atGate(tool, detail, RiskVerdict{level, {}});
    }
    [[nodiscard]] std::int64_t fired(std::size_t rule) const {
        return rules.rules().at(rule).timesFired;
    }
};

TEST_F(GateDeciderTest, ARuleAnswersFirstThenThePolicyUpToItsLevelThenAPersonIfOneCan) {
    ASSERT_FALSE(rules.add("Read", "id_rsa", Behavior::deny));
    ASSERT_FALSE(rules.add("Bash", "git push", Behavior::allow));
    prefs.setAutoApproveLevel(1);

    // A deny rule beats a policy that would allow; an allow rule answers
    // above the level. Each counts its hit, and no person is asked.
    EXPECT_EQ(at("Read", "id_rsa", Risk::trivial), GateOutcome::ruleDenies);
    EXPECT_EQ(at("Bash", "git push origin main", Risk::elevated), GateOutcome::ruleAllows);
    EXPECT_EQ(fired(0), 1);
    EXPECT_EQ(fired(1), 1);

    EXPECT_EQ(at("Edit", "src/a.cpp", Risk::normal), GateOutcome::policyAllows);
    EXPECT_EQ(person.asked, 0);
    EXPECT_EQ(at("Bash", "npm install", Risk::elevated), GateOutcome::askPerson);
    prefs.setAutoApproveLevel(-1);
    EXPECT_EQ(at("Read", "notes.md", Risk::trivial), GateOutcome::askPerson);
    EXPECT_EQ(person.asked, 2);

    // Nobody to ask: what no rule or policy answers goes back, the rest
    // is answered as before.
    person.present = false;
    EXPECT_EQ(at("Read", "notes.md", Risk::trivial), GateOutcome::handBack);
    EXPECT_EQ(at("Read", "id_rsa", Risk::trivial), GateOutcome::ruleDenies);
}

TEST_F(GateDeciderTest, ARuleCheckOnlyEverDeniesAndCountsOnlyADenial) {
    ASSERT_FALSE(rules.add("Bash", "rm -rf", Behavior::deny));
    ASSERT_FALSE(rules.add("Bash", "make", Behavior::allow));
    prefs.setAutoApproveLevel(1);  // a policy that would allow "make" and "ls"

    EXPECT_EQ(decider.atRuleCheck("Bash", "make"), GateOutcome::handBack);
    EXPECT_EQ(decider.atRuleCheck("Bash", "ls"), GateOutcome::handBack);
    EXPECT_EQ(fired(1), 0);
    EXPECT_EQ(decider.atRuleCheck("Bash", "make && rm -rf /"), GateOutcome::ruleDenies);
    EXPECT_EQ(fired(0), 1);
    EXPECT_EQ(person.asked, 0);
}

}  // namespace
}  // namespace vorla::test
