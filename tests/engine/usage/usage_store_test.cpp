#include "engine/usage/usage_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "engine/support/calendar.h"
#include "support/manual_clock.h"
#include "support/scoped_env.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

using nlohmann::json;
using std::chrono::seconds;
using namespace std::string_view_literals;

constexpr auto kDay = seconds(86400);

std::string response(const std::string& id, const std::string& day, int output,
                     const std::string& model = "claude-sonnet-4-5",
                     const std::string& requestID = "") {
    json line = {{"type", "assistant"},
                 {"timestamp", day + "T12:00:00Z"},
                 {"message",
                  {{"id", id},
                   {"model", model},
                   {"usage", {{"input_tokens", 1}, {"output_tokens", output}}}}}};
    if (!requestID.empty()) {
        line["requestId"] = requestID;
    }
    return line.dump() + "\n";
}

class UsageStoreTest : public ::testing::Test {
  protected:
    // Writes a transcript under the home, modified `age` before now.
    void write(const std::string& relative, const std::string& contents,
               seconds age = seconds(60)) {
        home_.write(relative, contents);
        std::filesystem::last_write_time(
            home_.file(relative), std::filesystem::file_time_type::clock::from_sys(now_ - age));
    }
    UsageSnapshot snapshot(std::size_t* read = nullptr) {
        UsageStore store(clock_);
        UsageSnapshot result = store.snapshot(7);
        if (read) {
            *read = store.filesRead();
        }
        return result;
    }
    [[nodiscard]] std::string day(int daysAgo) const { return dayKey(now_ - daysAgo * kDay); }

    test::TempHome home_;
    // 2026-03-11 15:00 UTC, a Wednesday.
    WallTime now_ = WallTime(seconds(1773241200)) + std::chrono::milliseconds(250);
    test::ManualClock clock_{now_};
    test::ScopedEnv utc_{"TZ", "UTC"};
};

TEST_F(UsageStoreTest, NoAgentFoldersGiveSevenZeroDaysAndWriteNoCache) {
    UsageSnapshot result = snapshot();
    EXPECT_EQ(result.today, DayUsage{});
    EXPECT_EQ(result.week, DayUsage{});
    EXPECT_TRUE(result.weekByModel.empty());
    ASSERT_EQ(result.daily.size(), 7u);
    EXPECT_EQ(result.daily.front().day, "2026-03-05");
    EXPECT_EQ(result.daily.front().label, "Thu");
    EXPECT_EQ(result.daily.back().day, "2026-03-11");
    EXPECT_TRUE(result.daily.back().isToday);
    EXPECT_EQ(result.scannedFiles, 0);
    EXPECT_FALSE(home_.read(".vorla-agents/data/usage-cache.json").has_value());
}

TEST_F(UsageStoreTest, AgentFoldersMovedByTheirVariablesAreTheOnesRead) {
    write("elsewhere/claude/projects/app/s1.jsonl", response("a", day(0), 40));
    write(".claude/projects/app/s1.jsonl", response("b", day(0), 1000));  // not the folder now
    write("elsewhere/codex/sessions/2026/03/11/r.jsonl",
          json({{"timestamp", day(0) + "T10:00:00Z"},
                {"payload", {{"info", {{"total_token_usage", {{"output_tokens", 2}}}}}}}})
                  .dump() +
              "\n");
    test::ScopedEnv claude("CLAUDE_CONFIG_DIR", home_.file("elsewhere/claude"));
    test::ScopedEnv codex("CODEX_HOME", home_.file("elsewhere/codex/"));
    UsageSnapshot result = snapshot();
    EXPECT_EQ(result.scannedFiles, 2);
    EXPECT_EQ(result.today.output, 42);
}

TEST_F(UsageStoreTest, NewerAgentsRecordsCountOnceWithUnknownPricesLeftOut) {
    test::ScopedEnv gemini("GEMINI_CLI_HOME", home_.file("g"));
    test::ScopedEnv copilot("COPILOT_HOME", home_.file("cop"));
    test::ScopedEnv qwen("QWEN_HOME", "~/q");
    auto at = day(0) + "T10:00:00Z";
    write("g/.gemini/tmp/app/chats/session-1.jsonl",
          json({{"id", "r1"},
                {"type", "gemini"},
                {"timestamp", at},
                {"model", "gemini-2.5-flash"},
                {"tokens", {{"input", 1000}, {"output", 10}}}})
                  .dump() +
              "\n");
    auto record = [&](const std::string& source, int output) {
        return json({{"type", "session.usage_record"},
                     {"timestamp", at},
                     {"data",
                      {{"usage",
                        {{"model", "gpt-4.1"},
                         {"outputTokens", output},
                         {"accounting", {{"sourceSessionId", source}, {"sequence", 1}}}}}}}})
                   .dump() +
               "\n";
    };
    // A resumed session's file starts with a copy of its source's records.
    write("cop/session-state/s1/events.jsonl", record("s1", 20));
    write("cop/session-state/s2/events.jsonl", record("s1", 20) + record("s2", 300));
    write("q/projects/-app/chats/x.jsonl",
          json({{"uuid", "u1"},
                {"timestamp", at},
                {"model", "qwen3-coder-plus"},
                {"usageMetadata", {{"promptTokenCount", 5}, {"candidatesTokenCount", 4000}}}})
                  .dump() +
              "\n");

    // OpenCode keeps writing into its write-ahead log while it runs.
    std::filesystem::create_directories(home_.file(".local/share/opencode"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(home_.file(".local/share/opencode/opencode.db").c_str(), &db),
              SQLITE_OK);
    auto insert = [&](const std::string& id, int output) {
        auto created = std::chrono::duration_cast<std::chrono::milliseconds>(
                           (now_ - seconds(3600)).time_since_epoch())
                           .count();
        std::string data = json({{"role", "assistant"},
                                 {"modelID", "claude-sonnet-4-5"},
                                 {"tokens", {{"output", output}}}})
                               .dump();
        std::string sql = "INSERT INTO message VALUES('" + id + "','s'," + std::to_string(created) +
                          ",0,'" + data + "')";
        return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    };
    ASSERT_EQ(sqlite3_exec(db,
                           "PRAGMA journal_mode=WAL; CREATE TABLE message (id text PRIMARY KEY, "
                           "session_id text, time_created integer, time_updated integer, data "
                           "text)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    ASSERT_EQ(insert("m1", 50'000), SQLITE_OK);

    UsageSnapshot result = snapshot();
    EXPECT_EQ(result.scannedFiles, 5);
    EXPECT_EQ(result.today.output, 10 + 20 + 300 + 4000 + 50'000);
    EXPECT_EQ(result.unpricedModels, std::vector<std::string>{"qwen3-coder-plus"});
    double known = (0.3 * 1000 + 2.5 * 10 + 20 * 320 + 15 * 50'000) / 1e6;
    EXPECT_DOUBLE_EQ(result.todayCost, known);
    auto qwenRow = std::find_if(result.weekByModel.begin(), result.weekByModel.end(),
                                [](const auto& row) { return row.model == "qwen3-coder-plus"; });
    ASSERT_NE(qwenRow, result.weekByModel.end());
    EXPECT_FALSE(qwenRow->priced);
    EXPECT_NE(encodeJSON(result).find(R"("cost":null)"), std::string::npos);

    ASSERT_EQ(insert("m2", 7), SQLITE_OK);
    EXPECT_EQ(snapshot().today.output, 10 + 20 + 300 + 4000 + 50'007);
    sqlite3_close(db);
}

TEST_F(UsageStoreTest, TotalsModelsAndDays) {
    write(".claude/projects/app/s1.jsonl", response("a", day(0), 50'000, "claude-sonnet-4-5") +
                                               response("b", day(0), 10'000, "claude-opus-4-1") +
                                               response("c", day(1), 7, "") +
                                               response("d", day(2), 9, "<synthetic>") +
                                               response("e", day(8), 1'000'000, "claude-opus-4-1"));
    write(
        ".codex/sessions/2026/03/11/rollout.jsonl",
        json({{"timestamp", day(3) + "T01:00:00Z"},
              {"payload",
               {{"model", "gpt-5"},
                {"info", {{"total_token_usage", {{"input_tokens", 10}, {"output_tokens", 20}}}}}}}})
                .dump() +
            "\n");
    UsageSnapshot result = snapshot();
    EXPECT_EQ(result.scannedFiles, 2);
    EXPECT_EQ(result.today, (DayUsage{2, 60'000, 0, 0, 2}));
    EXPECT_EQ(result.week, (DayUsage{14, 60'036, 0, 0, 5}));
    double todayCost = (3 + 15 * 50'000 + 15 + 75 * 10'000) / 1e6;
    EXPECT_DOUBLE_EQ(result.todayCost, todayCost);
    // "unknown" and "<synthetic>" count in the totals, not in the model list.
    ASSERT_EQ(result.weekByModel.size(), 3u);
    EXPECT_EQ(result.weekByModel[0].model, "Sonnet");
    EXPECT_EQ(result.weekByModel[1].model, "Opus");
    EXPECT_EQ(result.weekByModel[2].model, "GPT");
    EXPECT_DOUBLE_EQ(result.weekByModel[2].cost, (5 * 10 + 20 * 20) / 1e6);
    EXPECT_EQ(result.daily[6].output, 60'000);
    EXPECT_EQ(result.daily[5].output, 7);
    EXPECT_EQ(result.daily[3].output, 20);
    EXPECT_DOUBLE_EQ(result.daily[6].cost, todayCost);
}

TEST_F(UsageStoreTest, OnlyRecentJsonlFilesInTheRightPlacesAreCandidates) {
    std::string line = response("a", day(0), 1);
    write(".claude/projects/app/cut.jsonl", line, 7 * kDay);
    write(".claude/projects/app/in.jsonl", line, 7 * kDay - seconds(1));
    write(".claude/projects/app/x.JSONL", line);
    write(".claude/projects/app/x.json", line);
    write(".claude/projects/app/deep/below.jsonl", line);
    write(".claude/projects/.hidden/h.jsonl", line);
    write(".claude/projects/loose.jsonl", line);
    write(".codex/sessions/a/b/c/d/deep.jsonl",
          json({{"timestamp", day(0)},
                {"payload", {{"info", {{"total_token_usage", {{"output_tokens", 4}}}}}}}})
                  .dump() +
              "\n");
    UsageSnapshot result = snapshot();
    EXPECT_EQ(result.scannedFiles, 3);  // in.jsonl, .hidden/h.jsonl, deep.jsonl
    EXPECT_EQ(result.today.output, 6);
}

TEST_F(UsageStoreTest, CacheIsReusedUntilSizeOrTimeChanges) {
    const std::string path = ".claude/projects/app/s.jsonl";
    write(path, response("a", day(0), 100));
    std::size_t read = 0;
    EXPECT_EQ(snapshot(&read).today.output, 100);
    EXPECT_EQ(read, 1u);
    auto cacheFile = home_.file(".vorla-agents/data/usage-cache.json");
    struct stat before {};
    ASSERT_EQ(stat(cacheFile.c_str(), &before), 0);
    EXPECT_EQ(before.st_mode & 0777, 0600u);

    // Same size and time, different bytes: the cache answers, nothing is read
    // and the cache file is left alone.
    write(path, response("a", day(0), 900));
    EXPECT_EQ(snapshot(&read).today.output, 100);
    EXPECT_EQ(read, 0u);
    struct stat after {};
    ASSERT_EQ(stat(cacheFile.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    // A new time (same size) is read again.
    write(path, response("a", day(0), 900), seconds(30));
    EXPECT_EQ(snapshot(&read).today.output, 900);
    EXPECT_EQ(read, 1u);

    // A new size under the same whole second is read again.
    write(path, response("a", day(0), 12345), seconds(30));
    EXPECT_EQ(snapshot(&read).today.output, 12345);
    EXPECT_EQ(read, 1u);
}

// An agent appends to its transcript, or the file is cut short, while it is
// being scanned (a writer process churns it): every snapshot stays sane, and
// once the file settles it is counted as it is, not from a stale cache.
TEST_F(UsageStoreTest, ATranscriptChangingWhileScannedIsCountedAsItEnds) {
    const std::string relative = ".claude/projects/app/s.jsonl";
    write(relative, response("a", day(0), 1));
    const std::string path = home_.file(relative);
    const std::string line = response("b", day(0), 1);
    pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        for (int i = 1;; ++i) {
            if (i % 64 == 0) {
                (void)::truncate(path.c_str(), static_cast<off_t>(line.size() / 2));
            } else if (FILE* file = std::fopen(path.c_str(), "a")) {
                std::string next = response("m" + std::to_string(i), day(0), 1);
                std::fwrite(next.data(), 1, next.size(), file);
                std::fclose(file);
            }
        }
    }
    for (int i = 0; i < 40; ++i) {
        UsageSnapshot during = snapshot();
        EXPECT_EQ(during.today.output, during.today.messages);  // one token per response
    }
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    write(relative, response("a", day(0), 7) + line.substr(0, 20) + "\n" + response("c", day(0), 5),
          seconds(90));
    EXPECT_EQ(snapshot().today.output, 12);
}

TEST_F(UsageStoreTest, CorruptForeignOrOlderCacheIsRebuilt) {
    write(".claude/projects/app/s.jsonl", response("a", day(0), 5));
    struct stat file {};
    ASSERT_EQ(stat(home_.file(".claude/projects/app/s.jsonl").c_str(), &file), 0);
    // The one-line form of earlier versions, right time and size, wrong count:
    // it must be rebuilt, not believed.
    const std::string older = R"({")" + home_.file(".claude/projects/app/s.jsonl") +
                              R"(":{"mtime":")" + iso8601UTC(now_ - seconds(60)) + R"(","size":)" +
                              std::to_string(file.st_size) + R"(,"buckets":{")" + day(0) +
                              R"(":{"Sonnet":{"input":1,"output":999,"messages":1}}}}})";
    for (const std::string& junk : {older, older + "\n",
                                    R"({"version":3})"
                                    "\n" +
                                        older,
                                    std::string("{\"/x\":{\"mtime\":\"yesterday\"}}"),
                                    std::string("[1,2"), std::string("\xff\xfe"), std::string()}) {
        home_.write(".vorla-agents/data/usage-cache.json", junk);
        std::size_t read = 0;
        EXPECT_EQ(snapshot(&read).today.output, 5) << junk;
        EXPECT_EQ(read, 1u);
    }
    // A FIFO planted in its place neither blocks the read nor stays.
    const std::string cachePath = home_.file(".vorla-agents/data/usage-cache.json");
    std::filesystem::remove(cachePath);
    ASSERT_EQ(::mkfifo(cachePath.c_str(), 0600), 0);
    std::size_t read = 0;
    EXPECT_EQ(snapshot(&read).today.output, 5);
    EXPECT_EQ(read, 1u);
    EXPECT_EQ(snapshot(&read).today.output, 5);
    EXPECT_EQ(read, 0u);
}

// The window total answers while nothing changed; whenever it does not fit
// the transcripts as they are (one gone, one new, a figure edited on disk),
// the per-file entries decide, and damaged entries mean reading again.
TEST_F(UsageStoreTest, WindowTotalAnswersOnlyForTheTranscriptsItWasBuiltFrom) {
    write(".claude/projects/app/a.jsonl", response("a", day(0), 5));
    write(".claude/projects/app/b.jsonl", response("b", day(0), 7));
    EXPECT_EQ(snapshot().today.output, 12);
    const std::string cacheFile = ".vorla-agents/data/usage-cache.json";
    std::string text = *home_.read(cacheFile);
    const std::string header = text.substr(0, text.find('\n') + 1);
    ASSERT_NE(header.find(R"("output":12)"), std::string::npos) << header;

    // Entries unreadable, window intact: answered from the window alone.
    home_.write(cacheFile, header + "{\"broken");
    std::size_t read = 9;
    EXPECT_EQ(snapshot(&read).today.output, 12);
    EXPECT_EQ(read, 0u);

    // A figure edited in the window: the entries answer, and the window is
    // written again right.
    home_.write(cacheFile, text.replace(text.find(R"("output":12)"), 11, R"("output":13)"));
    EXPECT_EQ(snapshot(&read).today.output, 12);
    EXPECT_EQ(read, 0u);
    EXPECT_NE(home_.read(cacheFile)->find(R"("output":12)"), std::string::npos);

    // One transcript gone, then one new, with the entries broken.
    std::filesystem::remove(home_.file(".claude/projects/app/b.jsonl"));
    EXPECT_EQ(snapshot(&read).today.output, 5);
    EXPECT_EQ(read, 0u);
    write(".claude/projects/app/c.jsonl", response("c", day(0), 1));
    home_.write(cacheFile, header + "{\"broken");
    EXPECT_EQ(snapshot(&read).today.output, 6);
    EXPECT_EQ(read, 2u);

    // A transcript that leaves the window leaves the cache too.
    write(".claude/projects/app/a.jsonl", response("a", day(0), 5), 8 * kDay);
    EXPECT_EQ(snapshot(&read).today.output, 1);
    EXPECT_EQ(home_.read(cacheFile)->find("a.jsonl"), std::string::npos);
    EXPECT_EQ(snapshot(&read).today.output, 1);
    EXPECT_EQ(read, 0u);
}

// A database busy while it is read keeps no total: once free, unchanged, it
// is read and counted.
TEST_F(UsageStoreTest, ABusyOpenCodeDatabaseIsReadAgainOnceFree) {
    std::filesystem::create_directories(home_.file(".local/share/opencode"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(home_.file(".local/share/opencode/opencode.db").c_str(), &db),
              SQLITE_OK);
    std::string data = R"({"role":"assistant","modelID":"m","tokens":{"output":5}})";
    std::string sql =
        "CREATE TABLE message (id text, session_id text, time_created integer, time_updated "
        "integer, data text); INSERT INTO message VALUES('m1','s'," +
        std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                           (now_ - seconds(60)).time_since_epoch())
                           .count()) +
        ",0,'" + data + "'); BEGIN EXCLUSIVE";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(snapshot().today.output, 0);
    ASSERT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(snapshot().today.output, 5);
}

TEST_F(UsageStoreTest, CacheRoundTripKeepsEveryField) {
    UsageCache cache;
    FileUsage& entry = cache["/home/u/.claude/projects/p/\"quoted\" \u00e9.jsonl"];
    entry.mtime = WallTime(seconds(1741529100));
    entry.size = 123456789012;
    entry.buckets["2025-03-09"]["Opus"] = {1, 2, 3, 4, 5};
    entry.buckets["2025-03-09"]["\u2014"] = {0, 0, 0, 0, 1};
    entry.keyed["2025-03-09"]["Opus"] = {{18446744073709551615ull, 1, 2, 3, 4}, {7, 0, 0, 0, 0}};
    cache["/codex.jsonl"] = FileUsage{WallTime(seconds(0)), 0, {}, {}};
    const auto transcripts = "/a\0 1 2\n"sv;
    WindowTotal window{windowKey(transcripts, entry.buckets), entry.buckets};
    EXPECT_EQ(window.key.size(), 64u);
    EXPECT_NE(window.key, windowKey("/a\0 1 3\n"sv, window.total));
    std::string encoded = encodeUsageCache(cache, window);
    EXPECT_NE(encoded.find("\"mtime\":\"2025-03-09T14:05:00Z\""), std::string::npos);
    EXPECT_EQ(decodeUsageCache(encoded), cache);
    EXPECT_EQ(decodeWindowTotal(encoded), window);
    EXPECT_EQ(decodeUsageCache(encodeUsageCache(cache)), cache);
    EXPECT_FALSE(decodeWindowTotal(encodeUsageCache(cache)).has_value());
    // A truncated or foreign packed list, or a missing member, spoils the whole
    // cache, like any other fault; so does a cut-off second line.
    const std::string time = R"("mtime":"2025-03-09T14:05:00Z")";
    std::vector<std::string> bad = {"{" + time + R"(,"size":1})", "{" + time + R"(,"buckets":{}})"};
    for (std::string keyed : {"0a", "zz", "00000000000000008"}) {
        bad.push_back("{" + time + R"(,"size":1,"buckets":{},"keyed":{"d":{"m":")" + keyed +
                      "\"}}}");
    }
    for (const std::string& member : bad) {
        EXPECT_FALSE(decodeUsageCache(R"({"version":2})"
                                      "\n"
                                      R"({"/a":)" +
                                      member + "}")
                         .has_value())
            << member;
    }
    EXPECT_FALSE(decodeUsageCache(encoded.substr(0, encoded.size() - 5)).has_value());
    EXPECT_FALSE(decodeWindowTotal(R"({"version":2,"window":{"key":"k"}})").has_value());
}

TEST_F(UsageStoreTest, ResponsesCopiedIntoContinuedSessionsCountOnce) {
    std::string original = response("m1", day(0), 100, "claude-opus-4", "r1") +
                           response("m2", day(0), 200, "claude-opus-4", "r2");
    // The continued session starts with a copy of the earlier lines, then
    // goes on; "m1" without a request id in another file is a different
    // response (gateways reuse ids), so it counts.
    write(".claude/projects/app/a-first.jsonl", original);
    write(".claude/projects/app/b-continued.jsonl",
          original + response("m3", day(0), 400, "claude-opus-4", "r3"));
    write(".claude/projects/other/c.jsonl", response("m1", day(0), 800, "claude-opus-4"));
    UsageSnapshot first = snapshot();
    EXPECT_EQ(first.today.output, 1500);
    EXPECT_EQ(first.today.messages, 4);
    ASSERT_EQ(first.weekByModel.size(), 1u);
    EXPECT_EQ(first.weekByModel[0].usage.messages, 4);

    // The same from the cache, and when only the continued file changes.
    EXPECT_EQ(snapshot(), first);
    write(".claude/projects/app/b-continued.jsonl",
          original + response("m3", day(0), 400, "claude-opus-4", "r3") +
              response("m4", day(0), 1, "claude-opus-4", "r4"),
          seconds(10));
    std::size_t read = 0;
    EXPECT_EQ(snapshot(&read).today.output, 1501);
    EXPECT_EQ(read, 1u);
}

TEST_F(UsageStoreTest, WeekFollowsCalendarDaysAcrossDaylightSavingChanges) {
    test::ScopedEnv berlin("TZ", "Europe/Berlin");
    // Monday 2026-03-30 00:30 local, the day after the clocks went forward:
    // 24-hour steps would skip Sunday 03-29.
    WallTime monday = WallTime(seconds(1774823400));
    UsageSnapshot result =
        UsageStore::build({{"2026-03-29", {{"Opus", {0, 5, 0, 0, 1}}}}}, 0, monday);
    ASSERT_EQ(result.daily.size(), 7u);
    EXPECT_EQ(result.daily[6].day, "2026-03-30");
    EXPECT_EQ(result.daily[5].day, "2026-03-29");
    EXPECT_EQ(result.daily[0].day, "2026-03-24");
    EXPECT_EQ(result.week.output, 5);
}

TEST_F(UsageStoreTest, JsonUsesTheSnapshotFieldNames) {
    UsageSnapshot result = UsageStore::build({{day(0), {{"Opus", {1, 2, 3, 4, 5}}}}}, 9, now_);
    json decoded = json::parse(encodeJSON(result));
    EXPECT_EQ(decoded["today"],
              json::parse(R"({"input":1,"output":2,"cacheWrite":3,"cacheRead":4,"messages":5})"));
    EXPECT_EQ(decoded["weekByModel"][0]["model"], "Opus");
    EXPECT_EQ(decoded["daily"].size(), 7u);
    EXPECT_EQ(decoded["daily"][6]["isToday"], true);
    EXPECT_EQ(decoded["scannedFiles"], 9);
    EXPECT_DOUBLE_EQ(decoded["weekCost"].get<double>(), result.weekCost);
}

}  // namespace
}  // namespace vorla
