// `vorla-agents hooks` as a user runs it: the real program, a temporary HOME.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

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

// Beside another notch app's hook: the user's own guard in a group with ours
// and a script of theirs whose path merely mentions us.
TEST(InstallerCli, showsStatusInstallsEvictsAndRemovesOnlyWhatItShould) {
    test::TempHome home;
    using nlohmann::json;
    const json guard = {{"command", "/usr/local/bin/block-dangerous-commands.sh"}};
    const json ours = {
        {"command", "'" + home.path() + "/.vorla-agents/bin/vorla-bridge' --source claude"}};
    const json lookalike = {
        {{"hooks", {{{"command", "/home/u/tools/vorlaguard/deny-secrets.sh"}}}}}};
    home.write(".claude/settings.json",
               json({{"hooks",
                      {{"Stop", {{{"hooks", {{{"command", "/opt/island/hook"}}}}}}},
                       {"PreToolUse", {{{"hooks", {guard, ours}}}}},
                       {"Notification", lookalike}}}})
                   .dump());
    std::filesystem::create_directories(home.file(".grok"));

    auto status = hooks({});
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_EQ(status.out,
              "Claude Code  installed\n"
              "Codex        not found (no ~/.codex folder)\n"
              "Grok Build   not installed (vorla-agents hooks install grok)\n"
              "Gemini CLI   not found (no ~/.gemini folder)\n"
              "Copilot CLI  not found (no ~/.copilot folder)\n"
              "Qwen Code    not found (no ~/.qwen folder)\n"
              "OpenCode     not found (no ~/.config/opencode folder)\n");

    auto evicted = hooks({"evict", "claude"});
    EXPECT_EQ(evicted.exitCode, 0);
    EXPECT_EQ(evicted.out,
              "Removed another notch app's hooks from claude.\n"
              ".claude/settings.json: removed 1 hook; left 3 other hooks as they were.\n");

    auto installed = hooks({"install", "claude"});
    EXPECT_EQ(installed.exitCode, 0) << installed.err;
    EXPECT_EQ(installed.out,
              "Installed hooks for claude.\n"
              ".claude/settings.json: added 8 hooks of ours in place of 1 earlier; left 2 other "
              "hooks as they were.\n");
    // The bridge comes from beside the running vorla-agents.
    EXPECT_TRUE(std::filesystem::exists(home.file(".vorla-agents/bin/vorla-bridge")));
    EXPECT_EQ(hooks({}).out.substr(0, 23), "Claude Code  installed\n");

    auto removed = hooks({"remove", "claude"});
    EXPECT_EQ(removed.out,
              "Removed hooks for claude.\n"
              ".claude/settings.json: removed 8 hooks of ours; left 2 other hooks as they were.\n");
    EXPECT_EQ(
        json::parse(home.read(".claude/settings.json").value_or("null")),
        json({{"hooks", {{"PreToolUse", {{{"hooks", {guard}}}}}, {"Notification", lookalike}}}}));
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
