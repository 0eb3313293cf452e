#include "engine/session/session.h"

#include <gtest/gtest.h>

#include "engine/session/session_store.h"
#include "support/manual_clock.h"

namespace vorla {
namespace {

using namespace std::chrono_literals;

TEST(Session, ElapsedTruncatesToWholeSecondsAndHasNoHourUnit) {
    test::ManualClock clock;
    Session session("s", Source::codex, "~", clock);
    EXPECT_EQ(session.elapsed(), "0s");
    clock.advance(59900ms);
    EXPECT_EQ(session.elapsed(), "59s");
    clock.advance(100ms);
    EXPECT_EQ(session.elapsed(), "1m 0s");
    clock.advance(3600s - 60s);
    EXPECT_EQ(session.elapsed(), "60m 0s");
    clock.advance(-2h);  // the clock was set back
    EXPECT_EQ(session.elapsed(), "0s");
}

TEST(Session, NotifiesOnlyWhenAnObservableFieldReallyChanges) {
    test::ManualClock clock;
    Session session("s", Source::claude, "/a", clock);
    int changes = 0;
    auto subscription = session.subscribe([&] { ++changes; });
    session.setCwd("/a");
    session.setState(SpriteKind::idle);
    session.setActivity("");
    session.setContext(std::nullopt);
    EXPECT_EQ(changes, 0);
    session.setCwd("/b");
    session.setState(SpriteKind::shell);
    session.setToolCount(3);
    session.setContext(ContextUsage{10, 200});
    session.setContext(ContextUsage{10, 200});
    EXPECT_EQ(changes, 4);
    subscription.reset();
    session.setActivity("x");
    EXPECT_EQ(changes, 4);
}

// The sprite follows the risk engine's tool class: names that run commands or
// write are never drawn as something milder, and "Task" is not a question.
TEST(SpriteFor, FollowsTheToolClass) {
    EXPECT_EQ(SessionStore::spriteFor("ExitPlanMode"), SpriteKind::planReview);
    EXPECT_EQ(SessionStore::spriteFor("PLAN"), SpriteKind::planReview);
    EXPECT_EQ(SessionStore::spriteFor("plan_and_bash"), SpriteKind::shell);
    EXPECT_EQ(SessionStore::spriteFor("AskUserQuestion"), SpriteKind::question);
    EXPECT_EQ(SessionStore::spriteFor("Task"), SpriteKind::needsApproval);
    EXPECT_EQ(SessionStore::spriteFor("shell_exec"), SpriteKind::shell);
    EXPECT_EQ(SessionStore::spriteFor("TodoWrite"), SpriteKind::writing);
    EXPECT_EQ(SessionStore::spriteFor("mcp__x__search_docs"), SpriteKind::reading);
    EXPECT_EQ(SessionStore::spriteFor("WebFetch"), SpriteKind::needsApproval);
    EXPECT_EQ(SessionStore::spriteFor(""), SpriteKind::needsApproval);
}

TEST(ShortTool, KeepsShortNamesTakesTheLastMcpPieceAndCutsLongOnes) {
    EXPECT_EQ(SessionStore::shortTool("mcp__github__create_issue"), "create_issue");
    EXPECT_EQ(SessionStore::shortTool("mcp__srv__"), "mcp__srv__");
    EXPECT_EQ(SessionStore::shortTool("abcdefghijklmnop"), "abcdefghijklmnop");
    EXPECT_EQ(SessionStore::shortTool("abcdefghijklmnopq"), "abcdefghijklmno…");
    // Counted in characters, not bytes: 16 two-byte letters stay whole.
    EXPECT_EQ(SessionStore::shortTool("ääääääääääääääää"), "ääääääääääääääää");
    EXPECT_EQ(SessionStore::shortTool("äääääääääääääääää"), "äääääääääääääää…");
    // ... and user-perceived ones: an "é" written as "e" and a combining accent is one.
    auto accented = [](int n) {
        std::string text;
        for (int i = 0; i < n; ++i) {
            text += "e\xcc\x81";
        }
        return text;
    };
    EXPECT_EQ(SessionStore::shortTool(accented(16)), accented(16));
    EXPECT_EQ(SessionStore::shortTool(accented(17)), accented(15) + "…");
}

}  // namespace
}  // namespace vorla
