#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "engine/phone/gate_cards.h"
#include "engine/session/gate_box.h"
#include "store_fixture.h"

namespace vorla::test {
namespace {

using namespace std::chrono_literals;

TEST(GateBox, AbandonedWaitDeniesForSafetyAndAbandonedOrHandedBackBoxesRefuseDecisions) {
    GateBox box;
    std::thread waker([&] { box.abandon(); });
    EXPECT_EQ(box.wait(std::chrono::hours(24)), (Decision{Behavior::deny, kInternalErrorMessage}));
    waker.join();

    GateBox gone;
    gone.abandon();  // the bridge left: a later Allow must not count as delivered
    EXPECT_FALSE(gone.resolve(Behavior::allow, std::nullopt));
    GateBox handedBack;
    handedBack.handBack();
    EXPECT_FALSE(handedBack.resolve(Behavior::deny, std::nullopt));
    EXPECT_TRUE(handedBack.waitFor(std::chrono::hours(24)));
    EXPECT_TRUE(handedBack.handedBack());
    EXPECT_FALSE(handedBack.decision());
}

TEST(GateBox, ConcurrentResolversDeliverExactlyOneDecision) {
    for (int round = 0; round < 50; ++round) {
        GateBox box;
        std::atomic<int> stored{0};
        std::vector<std::thread> deciders;
        for (int i = 0; i < 4; ++i) {
            deciders.emplace_back([&, i] {
                if (box.resolve(i % 2 == 0 ? Behavior::allow : Behavior::deny, std::to_string(i))) {
                    ++stored;
                }
            });
        }
        Decision got = box.wait(std::chrono::seconds(10));
        for (auto& t : deciders) {
            t.join();
        }
        EXPECT_EQ(stored.load(), 1);
        EXPECT_EQ(box.decision(), got);
    }
}

using GatesTest = StoreTest;

// The rule store keeps critical calls from allow rules; anything else a rule
// answers, elevated or not, before a policy that would answer too.
TEST_F(GatesTest, RulesAnswerBeforeThePolicyWhateverTheRisk) {
    ASSERT_FALSE(rules.add("WebFetch", "", Behavior::deny));
    ASSERT_FALSE(rules.add("Bash", "git push", Behavior::allow));
    prefs.setAutoApproveLevel(1);
    store.setDecider(decider);
    auto box = gate({.tool = "Bash", .command = "git push origin main"});

    EXPECT_EQ(box->decision(), (Decision{Behavior::allow, kMatchedRuleMessage}));
    EXPECT_EQ(person.asked, 0);
    EXPECT_TRUE(store.gates().empty());
    EXPECT_EQ(gatesOpened, 0);
    EXPECT_EQ(only()->state(), SpriteKind::shell);
    EXPECT_EQ(only()->activity(), "Running Bash");
    EXPECT_EQ(only()->toolCount(), 0);
    ASSERT_EQ(audited.size(), 1u);
    EXPECT_EQ(audited[0].kind, AuditKind::autoAllowed);
    EXPECT_EQ(audited[0].risk, 2);
    EXPECT_TRUE(closedWith.empty());

    auto denied = gate({.tool = "WebFetch"});
    EXPECT_EQ(denied->decision(), (Decision{Behavior::deny, kMatchedRuleMessage}));
    EXPECT_EQ(only()->state(), SpriteKind::error);
    EXPECT_EQ(only()->activity(), "Blocked WebFetch");
    ASSERT_EQ(audited.size(), 2u);
    EXPECT_EQ(audited[1].kind, AuditKind::autoDenied);
    EXPECT_EQ(audited[1].detail, "");
}

// The rule store grades a call without its working folder: "settings.json"
// taught in a project must not allow writing Claude Code's own settings.
TEST_F(GatesTest, AnAllowRuleNeverAnswersAGateGradedCriticalInItsFolderButADenyRuleDoes) {
    ASSERT_FALSE(rules.add("Write", "settings.json", Behavior::allow));
    ASSERT_FALSE(rules.add("Bash", "rm -rf", Behavior::deny));
    std::filesystem::create_directories(home.file(".claude"));
    store.setDecider(decider);

    auto claude = gate({.tool = "Write", .command = "settings.json", .cwd = home.file(".claude")});
    EXPECT_FALSE(claude->decision());
    ASSERT_EQ(store.gates().size(), 1u);
    EXPECT_EQ(store.gates()[0]->risk.level, Risk::critical);
    EXPECT_EQ(rules.rules()[0].timesFired, 0);
    auto project = gate({.tool = "Write", .command = "settings.json"});
    EXPECT_EQ(project->decision(), (Decision{Behavior::allow, kMatchedRuleMessage}));
    auto wipe = gate({.tool = "Bash", .command = "rm -rf /"});
    EXPECT_EQ(wipe->decision(), (Decision{Behavior::deny, kMatchedRuleMessage}));
}

TEST_F(GatesTest, ThePolicyAllowsUpToItsLevelAndCountsTheTool) {
    store.setDecider(decider);  // at the default level 0
    auto read = gate({.tool = "Read"});
    EXPECT_EQ(read->decision(), (Decision{Behavior::allow, kAutoApprovedMessage}));
    EXPECT_EQ(only()->toolCount(), 1);
    EXPECT_EQ(only()->state(), SpriteKind::reading);
    EXPECT_EQ(gatesOpened, 0);
    EXPECT_EQ(audited.at(0).kind, AuditKind::autoAllowed);
    EXPECT_EQ(audited.at(0).risk, 0);

    auto install = gate({.tool = "Bash", .command = "npm install"});
    EXPECT_FALSE(install->decision().has_value());
    EXPECT_EQ(gatesOpened, 1);
    EXPECT_EQ(only()->state(), SpriteKind::needsApproval);
    EXPECT_EQ(only()->activity(), "Waiting on you");
    ASSERT_EQ(store.gates().size(), 1u);
    EXPECT_EQ(store.gates()[0]->risk.level, Risk::elevated);
    EXPECT_EQ(store.gates()[0]->kind, SpriteKind::shell);
    EXPECT_EQ(store.gates()[0]->detail, "npm install");
}

TEST_F(GatesTest, WithoutADeciderEveryGateWaitsForAPersonAndARuleCheckSendsNothing) {
    auto read = gate({.tool = "Read"});
    EXPECT_FALSE(read->decision());
    EXPECT_EQ(store.gates().size(), 1u);
    auto box = std::make_shared<GateBox>();
    Event check = makeEvent({.kind = Canonical::preToolUse, .tool = "Read"});
    check.gating = true;
    store.checkRules(check, box);
    EXPECT_TRUE(box->handedBack());
    EXPECT_FALSE(box->decision());
}

TEST_F(GatesTest, TwoGatesOfOneSessionKeepItWaitingUntilTheLastCloses) {
    std::string first;
    std::string second;
    gate({.tool = "Bash", .command = "make"}, &first);
    gate({.tool = "Edit"}, &second);
    store.resolveOnIsland(first, Behavior::allow);
    EXPECT_EQ(only()->state(), SpriteKind::needsApproval);
    EXPECT_EQ(only()->activity(), "Waiting on you");
    store.resolveOnIsland(second, Behavior::allow);
    EXPECT_EQ(only()->state(), SpriteKind::writing);
    EXPECT_EQ(only()->activity(), "Running Edit");
    EXPECT_EQ(closedWith, (std::vector{Behavior::allow, Behavior::allow}));
    ASSERT_EQ(audited.size(), 2u);
    EXPECT_EQ(audited[0].kind, AuditKind::approved);
    EXPECT_EQ(audited[0].detail, "make");
}

TEST_F(GatesTest, IslandDenyIsSentWithoutAMessageAndRecordedOnce) {
    std::string id;
    auto box = gate({.tool = "Bash", .command = "sudo ls"}, &id);
    store.resolveOnIsland(id, Behavior::deny);
    store.resolveOnIsland(id, Behavior::allow);  // a double click
    store.closeGate(id);                         // the server's own close
    EXPECT_EQ(box->decision(), (Decision{Behavior::deny, std::nullopt}));
    EXPECT_EQ(only()->state(), SpriteKind::error);
    EXPECT_EQ(only()->activity(), "Blocked Bash");
    EXPECT_EQ(audited.size(), 1u);
    EXPECT_EQ(audited.at(0).kind, AuditKind::denied);
    EXPECT_EQ(closedWith.size(), 1u);
}

// A phone approval reaches a real bridge in the end-to-end tests.
TEST_F(GatesTest, PhoneDecisionsCarryTheirTextsAndUnknownIdsAreIgnored) {
    std::string id;
    auto deny = gate({.tool = "Bash"}, &id);
    store.resolveRemotely("no-such-gate", Behavior::allow);
    store.resolveRemotely(id, Behavior::deny);
    EXPECT_EQ(deny->decision(), (Decision{Behavior::deny, kPhoneDeniedMessage}));
    EXPECT_TRUE(store.gates().empty());
}

TEST_F(GatesTest, AGateClosedAfterItsWaitEndedWritesNoRecordAndShowsWorking) {
    std::string id;
    auto box = gate({.tool = "Bash"}, &id);
    EXPECT_EQ(box->wait(1ms), (Decision{Behavior::deny, kNoResponseMessage}));
    // A phone answer that comes after the time-out never reaches the agent.
    store.resolveRemotely(id, Behavior::allow);
    EXPECT_TRUE(store.gates().empty());
    EXPECT_TRUE(audited.empty());
    EXPECT_TRUE(closedWith.empty());
    EXPECT_EQ(only()->state(), SpriteKind::thinking);
    EXPECT_EQ(only()->activity(), "Working");
}

TEST_F(GatesTest, RuleCheckDeniesOnADenyRuleAndOtherwisePassesWithoutCountingAnAllow) {
    ASSERT_FALSE(rules.add("Bash", "rm -rf /", Behavior::deny));
    ASSERT_FALSE(rules.add("Bash", "make", Behavior::allow));
    store.setDecider(decider);
    auto counted = [&] { return rules.rules()[0].timesFired + rules.rules()[1].timesFired; };
    auto check = [&](const std::string& command) {
        auto box = std::make_shared<GateBox>();
        Event event = makeEvent({.kind = Canonical::preToolUse,
                                 .source = Source::codex,
                                 .tool = "Bash",
                                 .command = command});
        event.gating = true;
        store.checkRules(event, box);
        return box;
    };

    auto allowed = check("make");
    EXPECT_TRUE(allowed->handedBack());
    EXPECT_FALSE(allowed->decision());
    EXPECT_EQ(only()->activity(), "Running Bash");  // applied as the ordinary event
    EXPECT_EQ(counted(), 0);
    EXPECT_TRUE(audited.empty());

    auto denied = check("rm -rf /");
    EXPECT_EQ(denied->decision(), (Decision{Behavior::deny, kMatchedRuleMessage}));
    EXPECT_EQ(counted(), 1);
    EXPECT_EQ(only()->state(), SpriteKind::error);
    EXPECT_EQ(only()->activity(), "Blocked Bash");
    ASSERT_EQ(audited.size(), 1u);
    EXPECT_EQ(audited[0].kind, AuditKind::autoDenied);
    EXPECT_EQ(audited[0].agent, "codex");
    EXPECT_EQ(audited[0].risk, 3);
    EXPECT_TRUE(store.gates().empty());
    EXPECT_EQ(gatesOpened, 0);
}

TEST_F(GatesTest, ActiveGateIsTheOldestEvenWhenItsSessionEnded) {
    std::string g1;
    std::string g2;
    gate({.sessionID = "A", .tool = "Bash"}, &g1);
    gate({.sessionID = "B", .tool = "Edit"}, &g2);
    auto active = store.activeGate();
    ASSERT_TRUE(active);
    EXPECT_EQ(active->first->id(), "A");
    EXPECT_EQ(active->second->id, g1);
    store.resolveOnIsland(g1, Behavior::allow);
    EXPECT_EQ(store.activeGate()->second->id, g2);

    // The session of the oldest gate ended: it is no longer listed, yet its
    // card still shows (and so does the one queued behind it, afterwards);
    // closing it records nothing.
    std::string g3;
    gate({.sessionID = "C", .tool = "Write"}, &g3);
    send({.kind = Canonical::sessionEnd, .sessionID = "B"});
    EXPECT_EQ(store.sessions().size(), 2u);
    ASSERT_TRUE(store.activeGate());
    EXPECT_EQ(store.activeGate()->first->id(), "B");
    EXPECT_EQ(store.activeGate()->second->id, g2);
    std::size_t records = audited.size();
    store.resolveOnIsland(g2, Behavior::deny);
    EXPECT_EQ(audited.size(), records);
    EXPECT_EQ(store.activeGate()->second->id, g3);
    store.resolveRemotely(g3, Behavior::allow);
    EXPECT_FALSE(store.activeGate());
}

// The phone shows the verdict the gate was opened with, graded in the
// session's folder, even once that session has ended.
TEST_F(GatesTest, PhoneCardsKeepTheGatesRiskAfterTheirSessionEnded) {
    std::string id;
    gate({.sessionID = "A", .tool = "Write", .command = "src/a.cpp", .cwd = "/work/app"}, &id);
    send({.kind = Canonical::sessionEnd, .sessionID = "A"});
    const RiskVerdict opened = store.gate(id)->risk;
    ASSERT_NE(opened, RiskEngine::assess("Write", "src/a.cpp", std::nullopt));
    const auto cards = phone::gateCards(store);
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].agentName, "Agent");
    EXPECT_EQ(cards[0].project, "");
    EXPECT_EQ(cards[0].risk, opened.level);
    EXPECT_EQ(cards[0].reasons, opened.reasons);
}

TEST_F(GatesTest, SnapshotListsPendingGatesOldestFirstEvenWithoutTheirSession) {
    gate({.sessionID = "A",
          .source = Source::grok,
          .tool = "Bash",
          .command = "npm install",
          .cwd = "/src/shop"});
    clock.advance(2s);
    gate({.sessionID = "B", .tool = "Write"});
    send({.kind = Canonical::sessionEnd, .sessionID = "B"});
    auto json = snapshot();
    ASSERT_EQ(json["pending"].size(), 2u);
    const auto& first = json["pending"][0];
    EXPECT_EQ(first["agent"], "grok");
    EXPECT_EQ(first["agentName"], "Grok Build");
    EXPECT_EQ(first["project"], "shop");
    EXPECT_EQ(first["tool"], "Bash");
    EXPECT_EQ(first["detail"], "npm install");
    EXPECT_EQ(first["risk"], 2);
    EXPECT_DOUBLE_EQ(double(first["sinceTs"]), toEpochSeconds(clock.now()) - 2.0);
    const auto& orphan = json["pending"][1];
    EXPECT_EQ(orphan["agent"], "");
    EXPECT_EQ(orphan["agentName"], "");
    EXPECT_EQ(orphan["project"], "");
    EXPECT_EQ(json["sessions"][0]["status"], "waiting");
}

}  // namespace
}  // namespace vorla::test
