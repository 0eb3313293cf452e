#include "engine/repo/diff_peek.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "git_fixture.h"

namespace vorla {
namespace {

using Change = DiffPeek::FileChange;

class DiffPeekTest : public test::GitFixture {};

TEST_F(DiffPeekTest, PlacesThatAreNotRepositoriesGiveTheEmptyPeek) {
    EXPECT_EQ(DiffPeek::load(home().file("absent")), DiffPeek{});
    EXPECT_EQ(DiffPeek::load("~"), DiffPeek{});
    EXPECT_EQ(DiffPeek::load(""), DiffPeek{});
    home().write("plain/file.txt", "x\n");
    EXPECT_EQ(DiffPeek::load(home().file("plain")), DiffPeek{});
}

TEST_F(DiffPeekTest, RepositoryWithoutCommitsCountsUntrackedFilesOnly) {
    initRepo();
    write("a.txt", "one\n");
    write("b.txt", "two\n");
    write(".gitignore", "ignored.log\n");
    write("ignored.log", "noise\n");
    DiffPeek peek = DiffPeek::load(repo());
    EXPECT_TRUE(peek.isRepo);
    EXPECT_TRUE(peek.files.empty());
    EXPECT_EQ(peek.untracked, 3);  // a.txt, b.txt, .gitignore
}

TEST_F(DiffPeekTest, ChangesAreSortedByTotalKeepingGitsOrderForTiesAndBinariesLast) {
    initRepo();
    write("bin.dat", std::string("\0\1\2", 3));
    write("equal-a.txt", "1\n2\n");
    write("equal-b.txt", "1\n2\n");
    write("big.txt", "1\n");
    write("tab\there.txt", "1\n");
    commitAll();
    write("bin.dat", std::string("\0\3\4\5", 4));
    write("equal-a.txt", "1\nchanged\n");    // +1 -1
    write("equal-b.txt", "1\n2\n3\n4\n");    // +2
    write("big.txt", "1\n2\n3\n4\n5\n6\n");  // +5
    write("tab\there.txt", "new\n");         // +1 -1
    write("untracked.txt", "u\n");
    git({"checkout", "-q", "-b", "feature/peek"});

    DiffPeek peek = DiffPeek::load(repo());
    EXPECT_TRUE(peek.isRepo);
    EXPECT_EQ(peek.branch, "feature/peek");
    std::vector<Change> expected = {
        {"big.txt", 5, 0},       {"equal-a.txt", 1, 1}, {"equal-b.txt", 2, 0},
        {"tab\there.txt", 1, 1}, {"bin.dat", 0, 0},
    };
    EXPECT_EQ(peek.files, expected);
    EXPECT_EQ(peek.untracked, 1);
}

// The working tree is the agent's: commands its .git/config or
// .gitattributes name (a file-system monitor, a diff filter) must not run.
TEST_F(DiffPeekTest, CommandsTheRepositoryNamesNeverRun) {
    initRepo();
    write("a.txt", "1\n");
    commitAll();
    const std::string ran = home().file("ran");
    write("evil.sh", "#!/bin/sh\ntouch " + ran + "\ncat \"$1\" 2>/dev/null\n");
    const std::string evil = repo() + "/evil.sh";
    ASSERT_EQ(::chmod(evil.c_str(), 0755), 0);
    git({"config", "core.fsmonitor", evil});
    git({"config", "diff.evil.textconv", evil});
    write(".gitattributes", "*.txt diff=evil\n");
    write("a.txt", "1\n2\n");

    DiffPeek peek = DiffPeek::load(repo());
    EXPECT_FALSE(std::filesystem::exists(ran));
    ASSERT_FALSE(peek.files.empty());
    EXPECT_EQ(peek.files[0], (Change{"a.txt", 1, 0}));
}

TEST(DiffPeekParse, NumstatLinesSplitOnTheFirstTwoTabsOnly) {
    auto files = DiffPeek::parseNumstat(
        "3\t4\tsrc/a.cpp\n"
        "-\t-\tlogo.png\n"
        "\n"
        "7\tmissing-path\n"
        "1\t1\t\"we\\tird\\\\name\\\"\"\n"
        "x\t2\tdir/with\ttab\n"
        "2\t0\tcaf\\303\\251\n");
    std::vector<Change> expected = {
        {"src/a.cpp", 3, 4},     {"we\tird\\name\"", 1, 1},
        {"dir/with\ttab", 0, 2}, {"caf\\303\\251", 2, 0},  // not quoted, so taken as it stands
        {"logo.png", 0, 0},
    };
    EXPECT_EQ(files, expected);
    EXPECT_EQ(unquoteGitPath("\"caf\\303\\251.txt\""), "café.txt");
    EXPECT_EQ(unquoteGitPath("\"a\\389\\1\""),
              "a3891");  // not octal: each escaped character as it is
}

}  // namespace
}  // namespace vorla
