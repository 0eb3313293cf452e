#include "engine/usage/context_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/support/calendar.h"
#include "support/manual_clock.h"
#include "support/scoped_env.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ContextFilesTest : public ::testing::Test {
  protected:
    ContextFilesTest() { ::setenv("TZ", "UTC", 1); }
    ~ContextFilesTest() override { ::unsetenv("TZ"); }

    void touch(const std::string& relative, WallTime modified, std::size_t bytes = 10) {
        home.write(relative, std::string(bytes, 'x'));
        fs::last_write_time(
            home.file(relative),
            fs::file_time_type::clock::from_sys(
                std::chrono::time_point_cast<fs::file_time_type::duration>(modified)));
    }

    test::TempHome home;
    test::ManualClock clock;
};

TEST_F(ContextFilesTest, ListsGlobalAndProjectFilesTodayFirstNewestFirst) {
    WallTime today = startOfDay(clock.now());
    touch("CLAUDE.md", today + 1min);                 // today 00:01
    touch(".codex/config.toml", today - 1min, 2048);  // yesterday 23:59
    touch("p/one/AGENTS.md", today + 2h);
    touch("p/one/.cursorrules", today - 48h);
    touch("q/one/CLAUDE.md", today + 3h);  // same folder name elsewhere
    touch("p/one/notes.md", today + 4h);   // not a context file
    std::vector<std::string> projects = {home.file("p/one"), home.file("q/one"),
                                         home.file("p/one")};

    auto files = ContextScanner::scan(projects, clock);

    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& file : files) {
        got.emplace_back(file.scope, file.path.substr(home.path().size() + 1));
    }
    EXPECT_EQ(got, (std::vector<std::pair<std::string, std::string>>{
                       {"one", "q/one/CLAUDE.md"},
                       {"one", "p/one/AGENTS.md"},
                       {"Global", "CLAUDE.md"},
                       {"Global", ".codex/config.toml"},
                       {"one", "p/one/.cursorrules"},
                   }));
    EXPECT_EQ(files[3].name, "config.toml");
    EXPECT_EQ(files[3].bytes, 2048);
    EXPECT_EQ(files[3].sizeDisplay(), "2 KB");
}

TEST_F(ContextFilesTest, AgentFoldersMovedByTheirVariablesAreTheOnesListed) {
    touch("cfg/claude/CLAUDE.md", clock.now());
    touch("cfg/codex/AGENTS.md", clock.now());
    touch(".codex/AGENTS.md", clock.now());  // not Codex's folder any more
    test::ScopedEnv claude("CLAUDE_CONFIG_DIR", home.file("cfg/claude"));
    test::ScopedEnv codex("CODEX_HOME", home.file("cfg/codex"));
    touch("cfg/copilot/copilot-instructions.md", clock.now());
    touch("xdg/opencode/AGENTS.md", clock.now());
    test::ScopedEnv copilot("COPILOT_HOME", home.file("cfg/copilot"));
    test::ScopedEnv xdg("XDG_CONFIG_HOME", home.file("xdg"));
    std::vector<std::string> paths;
    for (const auto& file : ContextScanner::scan({}, clock)) {
        paths.push_back(file.path.substr(home.path().size() + 1));
    }
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"cfg/claude/CLAUDE.md", "cfg/codex/AGENTS.md",
                                               "cfg/copilot/copilot-instructions.md",
                                               "xdg/opencode/AGENTS.md"}));
}

}  // namespace
}  // namespace vorla
