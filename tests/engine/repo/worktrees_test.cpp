#include "engine/repo/worktrees.h"

#include <gtest/gtest.h>

#include "git_fixture.h"

namespace vorla {
namespace {

WallTime at(int seconds) {
    return WallTime(std::chrono::seconds(seconds));
}

class WorktreeTest : public test::GitFixture {
  protected:
    // A repository "project" with a linked worktree on a branch and a detached one.
    void makeThreeWorktrees() {
        initRepo("project");
        write("a.txt", "one\n");
        commitAll();
        git({"worktree", "add", "-q", "-b", "feature", home().file("project-feature")});
        git({"worktree", "add", "-q", "--detach", home().file("project-detached")});
    }
};

TEST_F(WorktreeTest, ListsEveryWorktreeInGitsOrderWithoutAgents) {
    makeThreeWorktrees();
    std::vector<Worktree> found =
        WorktreeScanner::discover({{home().file("project-feature"), Source::codex, at(0)}});
    // Only the session's own tree gets an agent, not "project", whose path begins the
    // same way; the others follow in git's order.
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0],
              (Worktree{home().file("project-feature"), "feature", "project", "Codex", at(0)}));
    EXPECT_EQ(found[1], (Worktree{repo(), "main", "project", std::nullopt, std::nullopt}));
    EXPECT_EQ(found[2], (Worktree{home().file("project-detached"), "(detached)", "project",
                                  std::nullopt, std::nullopt}));
}

TEST_F(WorktreeTest, ActiveTreesComeFirstNewestSessionFirst) {
    makeThreeWorktrees();
    home().write("project/sub/.keep", "");
    std::vector<WorktreeSession> sessions = {
        {"~", Source::kiro, at(900)},
        {home().file("project/sub"), Source::claude, at(100)},
        {home().file("project-detached"), Source::grok, at(200)},
        {home().file("nowhere"), Source::codex, at(999)},
    };
    std::vector<Worktree> found = WorktreeScanner::discover(sessions);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].path, home().file("project-detached"));
    EXPECT_EQ(found[0].activeAgent, "Grok Build");
    EXPECT_EQ(found[1].path, repo());
    EXPECT_EQ(found[1].activeAgent, "Claude Code");
    EXPECT_EQ(found[1].lastSeen, at(100));
    EXPECT_EQ(found[2].path, home().file("project-feature"));
    EXPECT_FALSE(found[2].activeAgent.has_value());
}

TEST(WorktreePorcelain, BareRepositoriesAreSkippedAndBranchPrefixesRemoved) {
    std::string output =
        "worktree /srv/bare.git\n"
        "bare\n"
        "\n"
        "worktree /src/app\n"
        "HEAD 0123456789abcdef\n"
        "branch refs/heads/topic/refs/heads/x\n"
        "\n"
        "worktree /src/app-old\n"
        "HEAD 0123456789abcdef\n"
        "detached\n"
        "locked\n";
    std::vector<Worktree> found = WorktreeScanner::parsePorcelain(output, "app");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], (Worktree{"/src/app", "topic/x", "app", std::nullopt, std::nullopt}));
    EXPECT_EQ(found[1],
              (Worktree{"/src/app-old", "(detached)", "app", std::nullopt, std::nullopt}));
}

}  // namespace
}  // namespace vorla
