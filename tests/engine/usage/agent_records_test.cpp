// Usage of Gemini CLI, Copilot CLI, Qwen Code and OpenCode from their own
// records. The fixtures are what each real CLI wrote for one run against the
// contract tests' mock model (two replies of 120 input tokens, 20 of them
// cached, and 8 output tokens, 3 of them reasoning), paths anonymised.
#include "engine/usage/agent_records.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "engine/usage/opencode_db.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

using nlohmann::json;

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(VORLA_SOURCE_DIR) + "/tests/engine/usage/fixtures/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::int64_t keyedCount(const AgentRecords::Scan& scan) {
    std::int64_t n = 0;
    for (const auto& [day, models] : scan.keyed) {
        for (const auto& [model, responses] : models) {
            n += static_cast<std::int64_t>(responses.size());
        }
    }
    return n;
}

// What every fixture holds: two replies, each 100 fresh input, 20 cached and
// 8 output tokens (reasoning included).
UsageBuckets twoReplies(const std::string& model) {
    return {{"2026-12-08", {{model, {200, 16, 0, 40, 2}}}}};
}

class AgentRecordsTest : public ::testing::Test {
  protected:
    std::string write(const std::string& name, const std::string& text) {
        home_.write(name, text);
        return home_.file(name);
    }
    test::TempHome home_;
};

TEST_F(AgentRecordsTest, RealRecordsOfEachAgentCountEveryReplyOnceWithThoughtsAsOutput) {
    // Gemini writes a reply twice under one id (before and after its tool
    // call) and counts thoughts apart; Qwen counts them inside the output.
    AgentRecords::Scan gemini =
        AgentRecords::geminiUsage(write("g.jsonl", fixture("gemini-session.jsonl")));
    EXPECT_EQ(gemini.buckets, twoReplies("gemini-2.5-flash"));
    EXPECT_EQ(keyedCount(gemini), 2);
    EXPECT_EQ(AgentRecords::qwenUsage(write("q.jsonl", fixture("qwen-chat.jsonl"))).buckets,
              twoReplies("mock-model"));
    // The shutdown event repeats the session's totals: not counted again.
    AgentRecords::Scan copilot =
        AgentRecords::copilotUsage(write("c.jsonl", fixture("copilot-events.jsonl")));
    EXPECT_EQ(copilot.buckets, twoReplies("GPT"));
    EXPECT_EQ(keyedCount(copilot), 2);
    EXPECT_EQ(AgentRecords::geminiUsage(home_.file("missing.jsonl")).buckets, UsageBuckets{});
}

TEST_F(AgentRecordsTest, GeminiRewriteReplacesTheConversationAndBadLinesAreSkipped) {
    auto reply = [](const std::string& id, int output) {
        return json{{"id", id},
                    {"timestamp", "2026-12-07T10:00:00Z"},
                    {"type", "gemini"},
                    {"model", "gemini-2.5-pro"},
                    {"tokens", {{"input", 50}, {"output", output}, {"cached", 70}, {"total", 1}}}};
    };
    std::string text = reply("a", 1).dump() + "\n" + reply("b", 2).dump() + "\n" +
                       "{\"id\":\"c\",\"type\":\"gemini\",\"tokens\":{\"input\":\n" + "not json\n" +
                       R"({"type":"gemini","tokens":{"output":9}})" + "\n" +
                       json{{"$set", {{"messages", {reply("b", 4)}}}}}.dump() + "\n";
    // After the rewrite only b is left, counted as rewritten; a cached count
    // above the prompt count never makes input negative.
    UsageBuckets expected = {{"2026-12-07", {{"gemini-2.5-pro", {0, 4, 0, 50, 1}}}}};
    EXPECT_EQ(AgentRecords::geminiUsage(write("g.jsonl", text)).buckets, expected);
}

TEST_F(AgentRecordsTest, OpenCodeDatabaseIsReadWithoutChangingItWhileOpenCodeWrites) {
    std::string path = home_.file("opencode.db");
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr),
              SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(writer, fixture("opencode-messages.sql").c_str(), nullptr, nullptr, nullptr),
        SQLITE_OK);
    // A damaged message, and one older than the window, are left out.
    ASSERT_EQ(sqlite3_exec(writer,
                           "INSERT INTO message VALUES('x','s',1796696750000,0,'{\"role\":'),"
                           "('y','s',1000,0,'{\"role\":\"assistant\",\"tokens\":{\"input\":5}}')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);

    WallTime since{std::chrono::milliseconds(1796000000000)};
    EXPECT_EQ(OpenCodeDB::usage(path, since), twoReplies("mock-model"));

    // While a writer holds the database exclusively the read waits briefly,
    // then says it could not read rather than returning a partial count.
    ASSERT_EQ(sqlite3_exec(writer, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(OpenCodeDB::usage(path, since), std::nullopt);

    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_size, before.st_size);
    ASSERT_EQ(sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(writer);
    EXPECT_EQ(OpenCodeDB::usage(write("other.db", "not a database"), since), UsageBuckets{});
}

}  // namespace
}  // namespace vorla
