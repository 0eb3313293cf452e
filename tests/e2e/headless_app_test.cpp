// The real `vorla-agents --headless` process driven by real bridges.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "e2e_support.h"
#include "support/temp_home.h"

namespace vorla::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

class HeadlessAppTest : public ::testing::Test {
  protected:
    std::unique_ptr<RunningChild> startApp() {
        ChildOptions options;
        // --hold: gates that need a person wait (else they go back to the agent).
        options.args = {VORLA_APP_PATH, "--headless", "--hold"};
        auto app = std::make_unique<RunningChild>(options);
        EXPECT_TRUE(eventually([&] { return std::filesystem::exists(socket()); }));
        return app;
    }

    [[nodiscard]] std::string socket() const { return home.file(".vorla-agents/run/vorla.sock"); }

    json state() {
        auto text = home.read(".vorla-agents/run/state.json");
        return text ? json::parse(*text, nullptr, false) : json();
    }

    static json permission(const std::string& tool, const json& input) {
        return {{"hook_event_name", "PermissionRequest"},
                {"session_id", "s1"},
                {"cwd", "/work/shop"},
                {"tool_name", tool},
                {"tool_input", input}};
    }

    TempHome home;
};

TEST_F(HeadlessAppTest, AnswersByRuleAndPolicyPublishesStateAndCleansUpOnSigterm) {
    home.write(
        ".vorla-agents/data/rules.json",
        R"([{"key":"Bash: npm test","behavior":"allow","createdAt":800000000,"timesFired":0}])");
    auto app = startApp();

    runChild(bridgeOptions(
        {{"hook_event_name", "SessionStart"}, {"session_id", "s1"}, {"cwd", "/work/shop"}}));
    EXPECT_TRUE(eventually([&] { return state()["sessions"].size() == 1; }));
    EXPECT_EQ(state()["sessions"][0]["activity"], "Session started");

    auto ruled = runChild(bridgeOptions(permission("Bash", {{"command", "npm test -- --watch"}})));
    EXPECT_EQ(claudeDecision(ruled)["message"], "Vorla Agents: matched your rule");
    auto read = runChild(bridgeOptions(permission("Read", {{"file_path", "/work/shop/a.c"}})));
    EXPECT_EQ(claudeDecision(read)["message"], "Vorla Agents: auto-approved (safe)");

    RunningChild waiting(bridgeOptions(permission("Bash", {{"command", "git push --force"}})));
    EXPECT_TRUE(eventually([&] { return state()["pending"].size() == 1; }));
    EXPECT_EQ(state()["pending"][0]["risk"], 3);

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

    std::string audit;
    for (const auto& file : std::filesystem::directory_iterator(home.file(".vorla-agents/audit"))) {
        audit += *home.read(".vorla-agents/audit/" + file.path().filename().string());
    }
    EXPECT_NE(audit.find(R"("kind":"auto-allowed","tool":"Bash","detail":"npm test -- --watch")"),
              std::string::npos);
    EXPECT_NE(audit.find(R"("kind":"auto-allowed","tool":"Read")"), std::string::npos);
    // The rule's hit was counted and saved.
    EXPECT_NE(home.read(".vorla-agents/data/rules.json")->find(R"("timesFired":1)"),
              std::string::npos);
}

TEST_F(HeadlessAppTest, ASecondInstanceTakesOverAndTheFirstLeavesItsSocketAlone) {
    auto first = startApp();
    std::filesystem::remove(socket());  // so we can tell when the second is listening
    auto second = startApp();
    first->kill(SIGTERM);
    EXPECT_EQ(first->wait(10s).exitCode, 0);
    ASSERT_TRUE(std::filesystem::exists(socket()));

    runChild(bridgeOptions({{"hook_event_name", "UserPromptSubmit"}, {"session_id", "late"}}));
    EXPECT_TRUE(eventually([&] {
        auto s = state();
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
