// The session engine in this process against real vorla-bridge processes.
#include <gtest/gtest.h>
#include <signal.h>

#include <nlohmann/json.hpp>

#include "e2e_support.h"
#include "support/session_harness.h"

namespace vorla::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

json permission(const std::string& session, const std::string& command) {
    return toolPayload("PermissionRequest", session, "Bash", {{"command", command}});
}

ChildResult runBridge(const json& payload) {
    return runChild(bridgeOptions(payload));
}

class ServerBridgeTest : public ::testing::Test {
  protected:
    explicit ServerBridgeTest(Server::Options options = {}) : engine(std::move(options)) {
        engine.store.audit = [this](const AuditEntry& entry) { audited.push_back(entry); };
        engine.server->start();
    }

    // Waits until the gate of `session` is open and returns its id.
    std::string openGateOf(const std::string& session) {
        std::string id;
        EXPECT_TRUE(engine.waitFor([&](SessionStore& store) {
            for (const auto& gate : store.gates()) {
                if (gate->sessionID == session) {
                    id = gate->id;
                    return true;
                }
            }
            return false;
        }));
        return id;
    }

    std::vector<AuditEntry> audited;  // main thread only; outlives the engine's loop
    SessionHarness engine;
};

TEST_F(ServerBridgeTest, OrdinaryHookEventsDriveTheSession) {
    EXPECT_EQ(runBridge(hookPayload("SessionStart", "s1")).out, "");
    ASSERT_TRUE(engine.waitFor([](SessionStore& s) { return s.sessions().size() == 1; }));
    runBridge(hookPayload("UserPromptSubmit", "s1", {{"prompt", "fix it"}}));
    // Each connection has a thread of its own: events of two bridges in a row
    // may be applied in either order, so wait for the first.
    ASSERT_TRUE(engine.waitFor(
        [](SessionStore& s) { return s.sessions()[0]->state() == SpriteKind::thinking; }));
    runBridge(
        hookPayload("PostToolUse", "s1",
                    {{"tool_name", "Edit"}, {"tool_input", {{"file_path", "/work/shop/a.c"}}}}));
    ASSERT_TRUE(engine.waitFor([](SessionStore& s) { return s.sessions()[0]->toolCount() == 1; }));
    EXPECT_EQ(engine.onMain([&] { return engine.store.sessions()[0]->activity(); }), "Ran Edit");
    runBridge(hookPayload("Stop", "s1"));
    ASSERT_TRUE(engine.waitFor(
        [](SessionStore& s) { return s.sessions()[0]->state() == SpriteKind::done; }));
    auto records = engine.onMain([&] { return audited; });
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].detail, "/work/shop/a.c");
    EXPECT_EQ(records[0].project, "shop");

    engine.onMain([&] { engine.store.flushState(); });  // the write queued behind the last event
    auto state = json::parse(*engine.home.read(".vorla-agents/run/state.json"));
    EXPECT_EQ(state["sessions"][0]["status"], "idle");
    EXPECT_EQ(state["sessions"][0]["activity"], "Done");
}

// Learned rules and the auto-approval policy are driven end to end by the
// machine-fault and contract tests; here the island and the phone answer by hand.
TEST_F(ServerBridgeTest, TwoGatesFromTwoSessionsAreAnsweredOutOfOrder) {
    RunningChild first(bridgeOptions(permission("A", "make")));
    std::string firstID = openGateOf("A");
    RunningChild second(bridgeOptions(permission("B", "npm install left-pad")));
    std::string secondID = openGateOf("B");

    engine.onMain([&] { engine.store.resolveOnIsland(secondID, Behavior::deny); });
    // An island deny carries no message; the bridge words it for the agent.
    auto secondResult = second.wait(10s);
    EXPECT_EQ(claudeDecision(secondResult),
              (json{{"behavior", "deny"}, {"message", "Denied in Vorla Agents"}}));
    EXPECT_EQ(engine.onMain([&] { return engine.store.gates().size(); }), 1u);

    engine.onMain([&] { engine.store.resolveRemotely(firstID, Behavior::allow); });
    auto firstResult = first.wait(10s);
    EXPECT_EQ(claudeDecision(firstResult),
              (json{{"behavior", "allow"}, {"message", kPhoneApprovedMessage}}));
}

TEST_F(ServerBridgeTest, ABridgeKilledWhileItsGateWaitsLeavesTheAppServing) {
    {
        RunningChild doomed(bridgeOptions(permission("A", "make")));
        std::string id = openGateOf("A");
        doomed.kill(SIGKILL);
        doomed.wait(5s);
        engine.onMain([&] { engine.store.resolveOnIsland(id, Behavior::allow); });
    }
    ASSERT_TRUE(engine.waitFor([](SessionStore& s) { return s.gates().empty(); }));
    EXPECT_EQ(engine.onMain([&] { return engine.store.sessions()[0]->activity(); }),
              "Running Bash");
    runBridge(hookPayload("Stop", "A"));
    EXPECT_TRUE(engine.waitFor(
        [](SessionStore& s) { return s.sessions()[0]->state() == SpriteKind::done; }));
}

class ShortGateBridgeTest : public ServerBridgeTest {
  protected:
    ShortGateBridgeTest() : ServerBridgeTest(options()) {}
    static Server::Options options() {
        Server::Options options;
        options.gateTimeout = 300ms;
        return options;
    }
};

TEST_F(ShortGateBridgeTest, AnUnansweredGateIsDeniedByDefault) {
    auto result = runBridge(permission("A", "make"));
    EXPECT_EQ(claudeDecision(result),
              (json{{"behavior", "deny"}, {"message", kNoResponseMessage}}));
    ASSERT_TRUE(engine.waitFor([](SessionStore& s) { return s.gates().empty(); }));
    EXPECT_TRUE(engine.onMain([&] { return audited.empty(); }));
}

}  // namespace
}  // namespace vorla::test
