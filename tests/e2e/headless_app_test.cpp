// The real `vorla-agents --headless` process driven by real bridges.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "e2e_support.h"
#include "support/temp_home.h"

namespace vorla::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

class HeadlessAppTest : public ::testing::Test {
  protected:
    [[nodiscard]] std::string socket() const { return home.file(".vorla-agents/run/vorla.sock"); }

    TempHome home;
};

// Answers by learned rule run in machine_faults_test (read-only data folder)
// and the contract tests; by the auto-approval policy in its thousand bridges.
TEST_F(HeadlessAppTest, PublishesStateHoldsARiskyGateAndCleansUpOnSigterm) {
    auto app = startApp(home);

    runChild(bridgeOptions(hookPayload("SessionStart", "s1")));
    EXPECT_TRUE(eventually([&] { return publishedState(home)["sessions"].size() == 1; }));
    EXPECT_EQ(publishedState(home)["sessions"][0]["activity"], "Session started");

    RunningChild waiting(bridgeOptions(
        toolPayload("PermissionRequest", "s1", "Bash", {{"command", "git push --force"}})));
    EXPECT_TRUE(eventually([&] { return publishedState(home)["pending"].size() == 1; }));
    EXPECT_EQ(publishedState(home)["pending"][0]["risk"], 3);

    app->kill(SIGTERM);
    auto appResult = app->wait(10s);
    EXPECT_EQ(appResult.exitCode, 0);
    EXPECT_NE(appResult.err.find("Vorla Agents listening on " + socket() + "\n"),
              std::string::npos);
    EXPECT_NE(appResult.err.find("Vorla Agents up. notch=false"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(socket()));

    // The waiting bridge sees its connection close and leaves the agent be.
    auto waited = waiting.wait(10s);
    EXPECT_EQ(waited.exitCode, 0);
    EXPECT_EQ(waited.out, "");
}

// At the default level a plain read goes through unasked; a line that reads
// first and then deletes, on the same line or the next, waits for a person.
TEST_F(HeadlessAppTest, ACompoundCommandIsNotAutoApprovedAfterARead) {
    auto app = startApp(home);
    auto permission = [](const std::string& command) {
        return bridgeOptions(
            toolPayload("PermissionRequest", "s1", "Bash", {{"command", command}}));
    };
    EXPECT_EQ(claudeDecision(runChild(permission("git log --oneline | head"))),
              json({{"behavior", "allow"}, {"message", "Vorla Agents: auto-approved (safe)"}}));

    RunningChild sameLine(permission("ls; rm notes.txt"));
    RunningChild nextLine(permission("ls\nrm notes.txt"));
    EXPECT_TRUE(eventually([&] { return publishedState(home)["pending"].size() == 2; }))
        << publishedState(home).dump();
    const json state = publishedState(home);
    for (const auto& gate : state["pending"]) {
        EXPECT_EQ(gate["risk"], 1) << gate.dump();
    }
    app->kill(SIGTERM);
    EXPECT_EQ(app->wait(10s).exitCode, 0);
    EXPECT_EQ(sameLine.wait(10s).out, "");
    EXPECT_EQ(nextLine.wait(10s).out, "");
}

TEST_F(HeadlessAppTest, ASecondInstanceTakesOverAndTheFirstLeavesItsSocketAlone) {
    auto first = startApp(home);
    auto second = startApp(home);
    first->kill(SIGTERM);
    EXPECT_EQ(first->wait(10s).exitCode, 0);
    ASSERT_TRUE(std::filesystem::exists(socket()));

    runChild(bridgeOptions({{"hook_event_name", "UserPromptSubmit"}, {"session_id", "late"}}));
    EXPECT_TRUE(eventually([&] {
        auto s = publishedState(home);
        return s.is_object() && s["sessions"].size() == 1 && s["sessions"][0]["id"] == "late";
    }));
    second->kill(SIGINT);
    EXPECT_EQ(second->wait(10s).exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(socket()));
}

TEST(HeadlessApp, ASocketPathTooLongIsLoggedAndTheAppKeepsRunning) {
    TempHome home("/tmp/vorla-test-" + std::string(100, 'h') + "-");
    ChildOptions options;
    options.args = {VORLA_APP_PATH, "--headless"};
    RunningChild app(options);
    EXPECT_TRUE(app.waitForError("Vorla Agents up."));
    app.kill(SIGTERM);
    auto result = app.wait(10s);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.err.find("Vorla Agents: could not open socket: pathTooLong\n"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("Vorla Agents up."), std::string::npos);
}

}  // namespace
}  // namespace vorla::test
