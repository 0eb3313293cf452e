// `vorla-agents hooks` as a user runs it: the real program, a temporary HOME.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/child_process.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

test::ChildResult hooks(std::vector<std::string> args) {
    test::ChildOptions options;
    options.args = {VORLA_APP_PATH, "hooks"};
    options.args.insert(options.args.end(), args.begin(), args.end());
    return test::runChild(options);
}

TEST(InstallerCli, showsStatusInstallsEvictsAndRemoves) {
    test::TempHome home;
    home.write(".claude/settings.json",
               R"({"hooks":{"Stop":[{"hooks":[{"command":"/opt/island/hook"}]}]}})");
    std::filesystem::create_directories(home.file(".grok"));

    auto status = hooks({});
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_EQ(status.out,
              "Claude Code  another notch app's hooks are in place (vorla-agents hooks evict "
              "claude, then install)\n"
              "Codex        not found (no ~/.codex folder)\n"
              "Grok Build   not installed (vorla-agents hooks install grok)\n");

    auto evicted = hooks({"evict", "claude"});
    EXPECT_EQ(evicted.exitCode, 0);
    EXPECT_EQ(evicted.out, "Removed another notch app's hooks from claude.\n");

    auto installed = hooks({"install", "claude"});
    EXPECT_EQ(installed.exitCode, 0) << installed.err;
    EXPECT_EQ(installed.out, "Installed hooks for claude.\n");
    // The bridge comes from beside the running vorla-agents.
    EXPECT_TRUE(std::filesystem::exists(home.file(".vorla-agents/bin/vorla-bridge")));
    EXPECT_EQ(hooks({}).out.substr(0, 23), "Claude Code  installed\n");

    auto removed = hooks({"remove", "claude"});
    EXPECT_EQ(removed.out, "Removed hooks for claude.\n");
    EXPECT_EQ(home.read(".claude/settings.json"), "{}\n");
}

TEST(InstallerCli, failuresExitNonZeroWithTheInstallersMessage) {
    test::TempHome home;
    home.write(".codex/hooks.json", "[]");

    auto refused = hooks({"install", "codex"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err,
              "Failed: .codex/hooks.json isn't valid JSON \u2014 refusing to overwrite it.\n");
    EXPECT_EQ(home.read(".codex/hooks.json"), "[]");

    EXPECT_EQ(hooks({"install", "kiro"}).exitCode, 1);
    EXPECT_EQ(hooks({"install", "vim"}).exitCode, 2);
    EXPECT_EQ(hooks({"frobnicate", "claude"}).exitCode, 2);
    EXPECT_EQ(hooks({"evict", "codex"}).out, "No other notch app's hooks found for codex.\n");
}

}  // namespace
}  // namespace vorla
