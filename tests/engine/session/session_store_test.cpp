#include "engine/session/session_store.h"

#include <gtest/gtest.h>

#include "store_fixture.h"

namespace vorla::test {
namespace {

using namespace std::chrono_literals;

using SessionStoreTest = StoreTest;

TEST_F(SessionStoreTest, KeysSessionsBySessionIDAndDefaultsTheRest) {
    send({.kind = Canonical::sessionStart, .sessionID = "a", .source = Source::codex, .cwd = {}});
    EXPECT_EQ(only()->cwd(), "~");
    EXPECT_EQ(snapshot()["sessions"][0]["project"], "~");
    send({.kind = Canonical::notification,
          .sessionID = "a",
          .source = Source::grok,
          .cwd = "/work/x",
          .transcript = "/t.jsonl"});
    send({.kind = Canonical::other, .sessionID = {}, .source = Source::claude});
    send({.kind = Canonical::other, .sessionID = {}, .source = Source::claude});

    ASSERT_EQ(store.sessions().size(), 2u);
    const auto& first = *store.sessions()[0];
    EXPECT_EQ(first.id(), "a");
    EXPECT_EQ(first.source(), Source::codex);  // the first event's source stays
    EXPECT_EQ(first.cwd(), "/work/x");         // "~" replaced by the later cwd
    EXPECT_EQ(first.transcriptPath(), "/t.jsonl");
    ASSERT_TRUE(first.terminal().has_value());
    EXPECT_EQ(first.terminal()->termProgram, "tmux");
    EXPECT_EQ(store.sessions()[1]->id(), "claude-unknown");
}

TEST_F(SessionStoreTest, EachEventKindSetsStateAndActivity) {
    struct Case {
        EventSpec spec;
        SpriteKind state;
        const char* activity;
    };
    const Case cases[] = {
        {{.kind = Canonical::sessionStart}, SpriteKind::idle, "Session started"},
        {{.kind = Canonical::userPromptSubmit}, SpriteKind::thinking, "Thinking"},
        {{.kind = Canonical::preToolUse, .tool = "Bash"}, SpriteKind::shell, "Running Bash"},
        {{.kind = Canonical::preToolUse}, SpriteKind::thinking, "Working"},
        {{.kind = Canonical::postToolUse, .tool = "mcp__gh__create_issue"},
         SpriteKind::writing,
         "Ran create_issue"},
        {{.kind = Canonical::postToolUse}, SpriteKind::thinking, "Working"},
        {{.kind = Canonical::notification}, SpriteKind::thinking, "Notification"},
        {{.kind = Canonical::permissionRequest}, SpriteKind::thinking, "Notification"},
        {{.kind = Canonical::other}, SpriteKind::thinking, "Notification"},
        {{.kind = Canonical::stop}, SpriteKind::done, "Done"},
    };
    for (const auto& c : cases) {
        send(c.spec);
        EXPECT_EQ(only()->state(), c.state) << rawValue(c.spec.kind);
        EXPECT_EQ(only()->activity(), c.activity) << rawValue(c.spec.kind);
    }
    EXPECT_EQ(only()->toolCount(), 2);
}

TEST_F(SessionStoreTest, PostToolUseForANewSessionCountsOneAndAuditsOneTool) {
    clock.advance(5s);
    send({.kind = Canonical::postToolUse,
          .sessionID = "new",
          .source = Source::kiro,
          .tool = "Bash",
          .command = "ls -la",
          .cwd = "/home/u/proj/"});
    EXPECT_EQ(only()->toolCount(), 1);
    ASSERT_EQ(audited.size(), 1u);
    const AuditEntry& entry = audited[0];
    EXPECT_EQ(entry.ts, clock.now());
    EXPECT_EQ(entry.agent, "kiro");
    EXPECT_EQ(entry.sessionID, "new");
    EXPECT_EQ(entry.project, "proj");
    EXPECT_EQ(entry.kind, AuditKind::tool);
    EXPECT_EQ(entry.tool, "Bash");
    EXPECT_EQ(entry.detail, "ls -la");
    EXPECT_FALSE(entry.risk.has_value());

    send({.kind = Canonical::postToolUse, .sessionID = "new"});
    EXPECT_EQ(audited.back().tool, "tool");
    EXPECT_EQ(audited.back().detail, "");
}

TEST_F(SessionStoreTest, StopSignalsDoneAndCelebratesOnlyTheFirstTime) {
    send({.kind = Canonical::userPromptSubmit, .source = Source::codex});
    send({.kind = Canonical::stop, .source = Source::codex});
    send({.kind = Canonical::stop, .source = Source::codex});
    EXPECT_EQ(sessionsDone, 1);
    EXPECT_EQ(store.celebration(), Source::codex);
    EXPECT_EQ(only()->state(), SpriteKind::done);
}

TEST_F(SessionStoreTest, ALaterCelebrationReplacesTheEarlierAndEndsOnItsOwnSchedule) {
    store.celebrate(Source::claude);
    clock.advance(1000ms);
    queue.runPending();
    store.celebrate(Source::codex);
    clock.advance(1590ms);  // 2.59 s after the first call
    queue.runPending();
    EXPECT_EQ(store.celebration(), Source::codex);
    clock.advance(20ms);
    queue.runPending();
    EXPECT_EQ(store.celebration(), std::nullopt);
}

TEST_F(SessionStoreTest, CelebrationTimerIsHarmlessAfterTheStoreIsGone) {
    {
        SessionStore shortLived(queue, clock);
        shortLived.celebrate(Source::grok);
    }
    clock.advance(2s);
    EXPECT_EQ(queue.runPending(), 0u);
}

TEST_F(SessionStoreTest, SessionEndForAnUnknownSessionLeavesTheListButRewritesTheSnapshot) {
    send({.kind = Canonical::sessionStart, .sessionID = "keep"});
    double before = snapshot()["ts"];
    clock.advance(1s);
    send({.kind = Canonical::sessionEnd, .sessionID = "ghost"});
    ASSERT_EQ(store.sessions().size(), 1u);
    EXPECT_EQ(store.sessions()[0]->id(), "keep");
    EXPECT_DOUBLE_EQ(double(snapshot()["ts"]), before + 1.0);
    send({.kind = Canonical::sessionEnd, .sessionID = "keep"});
    EXPECT_TRUE(store.sessions().empty());
}

TEST_F(SessionStoreTest, PrunesDoneSessionsStrictlyAfterTwentyFiveQuietSeconds) {
    send({.kind = Canonical::stop, .sessionID = "quiet"});
    send({.kind = Canonical::stop, .sessionID = "busy"});
    send({.kind = Canonical::userPromptSubmit, .sessionID = "live"});
    clock.advance(20s);
    send({.kind = Canonical::other, .sessionID = "busy"});  // refreshes lastSeen
    clock.advance(5s);
    store.refreshContext();
    EXPECT_EQ(store.sessions().size(), 3u);  // exactly 25 s: kept
    clock.advance(100ms);
    store.refreshContext();
    ASSERT_EQ(store.sessions().size(), 2u);
    EXPECT_EQ(store.sessions()[0]->id(), "busy");
    EXPECT_EQ(store.sessions()[1]->id(), "live");
    clock.advance(20s);
    store.refreshContext();
    ASSERT_EQ(store.sessions().size(), 1u);  // live sessions are never pruned
    EXPECT_EQ(snapshot()["sessions"].size(), 1u);
}

TEST_F(SessionStoreTest, ConflictsAreSharedFoldersOfSessionsNotDone) {
    send({.kind = Canonical::userPromptSubmit, .sessionID = "1", .cwd = "/a"});
    send({.kind = Canonical::stop, .sessionID = "2", .cwd = "/a"});
    send({.kind = Canonical::stop, .sessionID = "3", .cwd = "/a"});
    EXPECT_TRUE(store.conflicts().empty());
    send({.kind = Canonical::userPromptSubmit, .sessionID = "4", .cwd = "/a"});
    send({.kind = Canonical::userPromptSubmit, .sessionID = "5", .cwd = "/b"});
    send({.kind = Canonical::userPromptSubmit, .sessionID = "6", .cwd = "/0"});
    send({.kind = Canonical::userPromptSubmit, .sessionID = "7", .cwd = "/0"});
    EXPECT_EQ(store.conflicts(), (std::vector<std::string>{"/0", "/a"}));
}

TEST_F(SessionStoreTest, NotifiesObserversOnRealChangesOnly) {
    int changes = 0;
    auto subscription = store.subscribe([&] { ++changes; });
    send({.kind = Canonical::sessionStart});  // the list grew
    EXPECT_EQ(changes, 1);
    send({.kind = Canonical::sessionStart});  // same session, no list change
    EXPECT_EQ(changes, 1);
    store.celebrate(Source::claude);
    EXPECT_EQ(changes, 2);
}

TEST_F(SessionStoreTest, RefreshContextReadsTheTranscriptAndKeepsTheLastReadingOnFailure) {
    home.write("t.jsonl",
               R"({"message":{"usage":{"input_tokens":1200,"cache_read_input_tokens":50000,)"
               R"("cache_creation_input_tokens":800,"output_tokens":99}}})"
               "\n");
    send({.kind = Canonical::sessionStart, .transcript = home.file("t.jsonl")});
    // Read on the store's own thread, applied on this one.
    auto refreshed = [this] {
        store.refreshContext();
        EXPECT_TRUE(store.readingContext());
        return waitUntil([this] { return !store.readingContext(); });
    };
    ASSERT_TRUE(refreshed());
    EXPECT_EQ(only()->context(), (ContextUsage{52000, 200000}));
    std::filesystem::remove(home.file("t.jsonl"));
    ASSERT_TRUE(refreshed());
    EXPECT_EQ(only()->context(), (ContextUsage{52000, 200000}));
}

}  // namespace
}  // namespace vorla::test
