// What the machine can do to the application: kill it outright while agents
// wait, run a thousand hooks at once, fill its disk or make its data folder
// read-only. Real app, real bridges, real files.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "e2e_support.h"
#include "support/bridge_batch.h"
#include "support/scoped_tmpfs.h"
#include "support/temp_home.h"

namespace vorla::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
namespace fs = std::filesystem;

std::size_t countOf(const std::string& text, const std::string& needle) {
    std::size_t count = 0;
    for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

class MachineFaultsTest : public ::testing::Test {
  protected:
    MachineFaultsTest() { fs::create_directories(batchDir()); }

    [[nodiscard]] std::string batchDir() const { return home.file("batch"); }

    std::size_t pending() const {
        json s = publishedState(home);
        return s.is_object() ? s["pending"].size() : 0;
    }

    TempHome home;
};

TEST_F(MachineFaultsTest, AppKilledWhileAHundredBridgesWaitLetsThemAllGoAndTheNextStartListens) {
    auto app = startApp(home);
    BridgeBatch bridges(batchDir());
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(
            bridges.start(toolPayload("PermissionRequest", "s" + std::to_string(i % 10), "Write",
                                      {{"file_path", "/work/shop/" + std::to_string(i)}})
                              .dump()));
    }
    ASSERT_TRUE(eventually([&] { return pending() == 100; }, 30s)) << pending();

    app->kill(SIGKILL);
    (void)app->wait(10s);
    // Quietly: exit status 0 and not a byte to the agent.
    for (const auto& outcome : bridges.waitAll(10s)) {
        EXPECT_TRUE(outcome.exited);
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, "");
    }

    auto again = startApp(home);  // the killed app's socket file is still there: replaced
    auto answer = runChild(bridgeOptions(
        toolPayload("PermissionRequest", "late", "Read", {{"file_path", "/work/shop/a.c"}})));
    EXPECT_EQ(claudeDecision(answer)["behavior"], "allow");
    again->kill(SIGTERM);
    EXPECT_EQ(again->wait(10s).exitCode, 0);
}

TEST_F(MachineFaultsTest, AThousandBridgesAtOnceLoseNoEventAndEveryGateIsAnswered) {
    auto app = startApp(home);
    BridgeBatch bridges(batchDir());
    for (int i = 0; i < 1000; ++i) {
        const std::string session = "s" + std::to_string(i % 50);
        json payload = i % 2 == 0 ? toolPayload("PostToolUse", session, "Bash",
                                                {{"command", "echo " + std::to_string(i)}})
                                  : toolPayload("PermissionRequest", session, "Read",
                                                {{"file_path", "/work/shop/" + std::to_string(i)}});
        ASSERT_TRUE(bridges.start(payload.dump()));
    }
    auto outcomes = bridges.waitAll(60s);
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        ASSERT_EQ(outcomes[i].exitCode, 0) << i << outcomes[i].err;
        if (i % 2 == 1) {
            json answer = json::parse(outcomes[i].out, nullptr, false);
            ASSERT_TRUE(answer.is_object()) << i << ": " << outcomes[i].out;
            EXPECT_EQ(
                answer["hookSpecificOutput"]["decision"],
                json({{"behavior", "allow"}, {"message", "Vorla Agents: auto-approved (safe)"}}))
                << i;
        }
    }
    // Every tool run and every decision is in the audit log and the live state.
    EXPECT_TRUE(eventually(
        [&] {
            std::string text = auditText(home);
            return countOf(text, R"("kind":"tool")") == 500 &&
                   countOf(text, R"("kind":"auto-allowed")") == 500;
        },
        20s))
        << countOf(auditText(home), R"("kind":"tool")") << " tool lines";
    EXPECT_TRUE(eventually([&] { return publishedState(home)["sessions"].size() == 50; }, 10s));
    app->kill(SIGTERM);
    EXPECT_EQ(app->wait(10s).exitCode, 0);
}

class SmallDiskTest : public MachineFaultsTest {
  protected:
    void SetUp() override {
        if (!disk.mounted()) {
            GTEST_SKIP() << disk.reason();
        }
    }
    void toolRun(const std::string& session, const std::string& command) {
        auto result = runChild(
            bridgeOptions(toolPayload("PostToolUse", session, "Bash", {{"command", command}})));
        EXPECT_EQ(result.exitCode, 0);
    }
    json ask(const std::string& file) {
        return claudeDecision(runChild(bridgeOptions(toolPayload(
            "PermissionRequest", "s1", "Read", {{"file_path", "/work/shop/" + file}}))));
    }

    ScopedTmpfs disk{home.file(".vorla-agents"), 256 * 1024};
};

TEST_F(SmallDiskTest, AFullDiskKeepsTheAppAnsweringDamagesNothingAndRecoversWithSpace) {
    auto app = startApp(home);
    toolRun("s1", "make");
    ASSERT_TRUE(eventually([&] {
        return countOf(auditText(home), "\n") == 1 && publishedState(home)["sessions"].size() == 1;
    }));
    const auto stateBefore = home.read(".vorla-agents/run/state.json");

    disk.fill();
    // Enough long lines that one of them is cut off by the full disk.
    for (int i = 0; i < 8; ++i) {
        toolRun("s2", "echo " + std::string(1500, 'x'));
    }
    EXPECT_EQ(ask("a.c")["behavior"], "allow");
    EXPECT_EQ(home.read(".vorla-agents/run/state.json"), stateBefore);
    const std::string full = auditText(home);
    EXPECT_EQ(full.back(), '\n');
    for (std::size_t start = 0; start < full.size();) {
        const std::size_t end = full.find('\n', start);
        EXPECT_TRUE(json::accept(full.substr(start, end - start))) << full.substr(start, 80);
        start = end + 1;
    }

    disk.drain();
    toolRun("s3", "make again");
    EXPECT_TRUE(eventually([&] {
        json s = publishedState(home);
        return countOf(auditText(home), R"("detail":"make again")") == 1 &&
               s["sessions"].size() == 3;
    })) << publishedState(home).dump();
    app->kill(SIGTERM);
    EXPECT_EQ(app->wait(10s).exitCode, 0);
}

class ReadOnlyDataTest : public MachineFaultsTest {
  protected:
    void SetUp() override {
        if (!disk.mounted()) {
            GTEST_SKIP() << disk.reason();
        }
    }
    ScopedTmpfs disk{home.file(".vorla-agents/data"), 256 * 1024};
};

TEST_F(ReadOnlyDataTest, AReadOnlyDataFolderKeepsRulesAndGameInMemoryAndUntouched) {
    home.write(
        ".vorla-agents/data/rules.json",
        R"([{"key":"Bash: npm test","behavior":"allow","createdAt":800000000,"timesFired":0}])");
    auto app = startApp(home);
    ASSERT_TRUE(disk.setReadOnly(true));
    auto ruled = runChild(
        bridgeOptions(toolPayload("PermissionRequest", "s1", "Bash", {{"command", "npm test"}})));
    EXPECT_EQ(claudeDecision(ruled)["message"], "Vorla Agents: matched your rule");
    auto again = runChild(bridgeOptions(
        toolPayload("PermissionRequest", "s1", "Bash", {{"command", "npm test --watch"}})));
    EXPECT_EQ(claudeDecision(again)["message"], "Vorla Agents: matched your rule");
    EXPECT_EQ(
        *home.read(".vorla-agents/data/rules.json"),
        R"([{"key":"Bash: npm test","behavior":"allow","createdAt":800000000,"timesFired":0}])");

    ASSERT_TRUE(disk.setReadOnly(false));
    auto third = runChild(bridgeOptions(
        toolPayload("PermissionRequest", "s1", "Bash", {{"command", "npm test -v"}})));
    EXPECT_EQ(claudeDecision(third)["message"], "Vorla Agents: matched your rule");
    // The count kept in memory through the failed saves is what lands on disk.
    EXPECT_TRUE(eventually([&] {
        return home.read(".vorla-agents/data/rules.json")->find(R"("timesFired":3)") !=
               std::string::npos;
    })) << *home.read(".vorla-agents/data/rules.json");
    app->kill(SIGTERM);
    EXPECT_EQ(app->wait(10s).exitCode, 0);
}

}  // namespace
}  // namespace vorla::test
