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
    clock.advance(15s);
    EXPECT_EQ(session.elapsed(), "1m 15s");
    clock.advance(3600s - 75s);
    EXPECT_EQ(session.elapsed(), "60m 0s");
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

TEST(SpriteFor, FirstMatchingSubstringWinsIgnoringCase) {
    using S = SpriteKind;
    const std::pair<const char*, SpriteKind> cases[] = {
        {"ExitPlanMode", S::planReview},
        {"PLAN", S::planReview},
        {"AskUserQuestion", S::question},
        {"Task", S::question},
        {"Bash", S::shell},
        {"shell_exec", S::shell},
        {"MultiEdit", S::writing},
        {"TodoWrite", S::writing},
        {"Read", S::reading},
        {"Grep", S::reading},
        {"WebSearch", S::reading},
        {"WebFetch", S::needsApproval},
        {"", S::needsApproval},
        {"plan_and_bash", S::planReview},
    };
    for (const auto& [tool, expected] : cases) {
        EXPECT_EQ(SessionStore::spriteFor(tool), expected) << tool;
    }
}

TEST(ShortTool, KeepsShortNamesTakesTheLastMcpPieceAndCutsLongOnes) {
    EXPECT_EQ(SessionStore::shortTool("Bash"), "Bash");
    EXPECT_EQ(SessionStore::shortTool("mcp__github__create_issue"), "create_issue");
    EXPECT_EQ(SessionStore::shortTool("mcp__"), "mcp__");
    EXPECT_EQ(SessionStore::shortTool("mcp__srv__"), "mcp__srv__");
    EXPECT_EQ(SessionStore::shortTool("abcdefghijklmnop"), "abcdefghijklmnop");
    EXPECT_EQ(SessionStore::shortTool("abcdefghijklmnopq"), "abcdefghijklmno…");
    EXPECT_EQ(SessionStore::shortTool("mcp__x__a_very_long_tool_name"), "a_very_long_too…");
    // Counted in characters, not bytes: 16 two-byte letters stay whole.
    EXPECT_EQ(SessionStore::shortTool("ääääääääääääääää"), "ääääääääääääääää");
    EXPECT_EQ(SessionStore::shortTool("äääääääääääääääää"), "äääääääääääääää…");
}

}  // namespace
}  // namespace vorla
