#include "engine/look/tool_label.h"

#include <gtest/gtest.h>

namespace vorla {
namespace {

// The sprite follows the risk engine's tool class: names that run commands or
// write are never drawn as something milder, and "Task" is not a question.
TEST(SpriteFor, FollowsTheToolClass) {
    EXPECT_EQ(spriteFor("ExitPlanMode"), SpriteKind::planReview);
    EXPECT_EQ(spriteFor("PLAN"), SpriteKind::planReview);
    EXPECT_EQ(spriteFor("plan_and_bash"), SpriteKind::shell);
    EXPECT_EQ(spriteFor("AskUserQuestion"), SpriteKind::question);
    EXPECT_EQ(spriteFor("Task"), SpriteKind::needsApproval);
    EXPECT_EQ(spriteFor("shell_exec"), SpriteKind::shell);
    EXPECT_EQ(spriteFor("TodoWrite"), SpriteKind::writing);
    EXPECT_EQ(spriteFor("mcp__x__search_docs"), SpriteKind::reading);
    EXPECT_EQ(spriteFor("WebFetch"), SpriteKind::needsApproval);
    EXPECT_EQ(spriteFor(""), SpriteKind::needsApproval);
}

TEST(ShortTool, KeepsShortNamesTakesTheLastMcpPieceAndCutsLongOnes) {
    EXPECT_EQ(shortTool("mcp__github__create_issue"), "create_issue");
    EXPECT_EQ(shortTool("mcp__srv__"), "mcp__srv__");
    EXPECT_EQ(shortTool("abcdefghijklmnop"), "abcdefghijklmnop");
    EXPECT_EQ(shortTool("abcdefghijklmnopq"), "abcdefghijklmno…");
    // Counted in characters, not bytes: 16 two-byte letters stay whole.
    EXPECT_EQ(shortTool("ääääääääääääääää"), "ääääääääääääääää");
    EXPECT_EQ(shortTool("äääääääääääääääää"), "äääääääääääääää…");
    // ... and user-perceived ones: an "é" written as "e" and a combining accent is one.
    auto accented = [](int n) {
        std::string text;
        for (int i = 0; i < n; ++i) {
            text += "e\xcc\x81";
        }
        return text;
    };
    EXPECT_EQ(shortTool(accented(16)), accented(16));
    EXPECT_EQ(shortTool(accented(17)), accented(15) + "…");
}

}  // namespace
}  // namespace vorla
