#include "engine/installer/installer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "core/paths.h"
#include "engine/installer/hook_layout.h"
#include "engine/support/atomic_file.h"
#include "support/child_process.h"
#include "support/line_listener.h"
#include "support/temp_home.h"

namespace vorla {

void PrintTo(const Installer::Status& status, std::ostream* out) {
    *out << "Status(" << static_cast<int>(status.kind) << ", \"" << status.payload << "\")";
}

namespace {

using nlohmann::json;
using Case = Installer::Status::Case;
namespace fs = std::filesystem;

class FixedClock final : public Clock {
  public:
    WallTime wall = fromEpochSeconds(1748786589);  // 2025-06-01T14:03:09Z
    [[nodiscard]] WallTime now() const override { return wall; }
    [[nodiscard]] SteadyTime steadyNow() const override { return {}; }
};

class InstallerTest : public ::testing::Test {
  protected:
    Installer make() const { return Installer(home.path(), {VORLA_BRIDGE_PATH}, clock); }

    void write(const std::string& relative, const std::string& text) const {
        home.write(relative, text);
    }
    json read(const std::string& relative) const {
        return json::parse(home.read(relative).value_or("null"));
    }
    Case statusOf(Installer& installer, Source agent) const {
        installer.refresh();
        for (const auto& a : installer.agents()) {
            if (a.id == agent) {
                return a.status.kind;
            }
        }
        return Case::unsupported;
    }
    static int oursIn(const json& groups) {
        int count = 0;
        for (const json& g : groups) {
            count += installer::groupIsOurs(g) ? 1 : 0;
        }
        return count;
    }

    test::TempHome home;
    FixedClock clock;
};

const json kForeignGroup = {
    {"matcher", "Bash"},
    {"hooks", json::array({{{"type", "command"}, {"command", "/usr/bin/guard"}}})}};

json groupRunning(const std::string& command) {
    return {{"hooks", json::array({{{"command", command}}})}};
}

TEST_F(InstallerTest, reinstallKeepsOneGroupOfOursPerEventAfterForeignGroupsAndOtherSettings) {
    json original = {
        {"model", "opus"},
        {"statusLine", {{"type", "command"}, {"command", "~/bin/line"}}},
        {"hooks",
         {{"PreToolUse", json::array({kForeignGroup})}, {"Custom", json::array({kForeignGroup})}}}};
    write(".claude/settings.json", original.dump());
    Installer installer = make();

    ASSERT_TRUE(installer.install(Source::claude));
    clock.wall += std::chrono::seconds(1);
    ASSERT_TRUE(installer.install(Source::claude));

    EXPECT_EQ(installer.lastMessage(), "Installed hooks for claude.");
    json settings = read(".claude/settings.json");
    EXPECT_EQ(settings["model"], "opus");
    EXPECT_EQ(settings["statusLine"], original["statusLine"]);
    EXPECT_EQ(settings["hooks"]["Custom"], json::array({kForeignGroup}));
    const json ourHooks = installer::claudeHooks(home.path());
    for (const auto& [event, groups] : ourHooks.items()) {
        EXPECT_EQ(oursIn(settings["hooks"][event]), 1) << event;
    }
    json pre = settings["hooks"]["PreToolUse"];
    ASSERT_EQ(pre.size(), 2U);
    EXPECT_EQ(pre[0], kForeignGroup);
    EXPECT_EQ(pre[1]["matcher"], "*");
    EXPECT_EQ(pre[1]["hooks"][0]["timeout"], 86400);
    EXPECT_EQ(settings["hooks"]["Stop"][0].count("matcher"), 0U);
    EXPECT_EQ(settings["hooks"]["Stop"][0]["hooks"][0]["timeout"], 5);
    EXPECT_EQ(pre[1]["hooks"][0]["command"],
              "'" + home.path() + "/.vorla-agents/bin/vorla-bridge' --source claude");
    EXPECT_EQ(statusOf(installer, Source::claude), Case::installed);
}

TEST_F(InstallerTest, writesSortedIndentedJsonAndKeepsTheFileModeAndSymlink) {
    write("dotfiles/claude-settings.json", R"({"z":1,"a":{"y":2,"b":3}})");
    fs::create_directories(home.file(".claude"));
    fs::create_symlink(home.file("dotfiles/claude-settings.json"),
                       home.file(".claude/settings.json"));
    ::chmod(home.file("dotfiles/claude-settings.json").c_str(), 0644);

    ASSERT_TRUE(make().install(Source::claude));

    EXPECT_TRUE(fs::is_symlink(home.file(".claude/settings.json")));
    std::string text = home.read("dotfiles/claude-settings.json").value();
    EXPECT_EQ(text.rfind("{\n  \"a\": {\n    \"b\": 3,\n    \"y\": 2\n  },\n  \"hooks\": {", 0), 0U)
        << text;
    struct stat info {};
    ::stat(home.file("dotfiles/claude-settings.json").c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0644U);
}

TEST_F(InstallerTest, refusesConfigurationsThatAreNotJsonObjectsAndLeavesThemAlone) {
    for (const std::string text : {"[1, 2]", "", "{\"hooks\": ", "\"text\""}) {
        write(".claude/settings.json", text);
        Installer installer = make();
        EXPECT_FALSE(installer.install(Source::claude));
        EXPECT_EQ(
            installer.lastMessage(),
            "Failed: .claude/settings.json isn't valid JSON \u2014 refusing to overwrite it.");
        EXPECT_EQ(home.read(".claude/settings.json"), text);
        EXPECT_EQ(statusOf(installer, Source::claude), Case::notInstalled);
    }
}

TEST_F(InstallerTest, createsMissingSettingsHoldingOnlyHooksAndStagesTheBridge) {
    fs::create_directories(home.file(".claude"));
    Installer installer = make();
    EXPECT_EQ(statusOf(installer, Source::claude), Case::notInstalled);
    EXPECT_EQ(statusOf(installer, Source::codex), Case::notFound);

    ASSERT_TRUE(installer.install(Source::claude));

    json settings = read(".claude/settings.json");
    EXPECT_EQ(settings.size(), 1U);
    EXPECT_EQ(settings["hooks"], installer::claudeHooks(home.path()));
    struct stat info {};
    ASSERT_EQ(::stat(home.file(".vorla-agents/bin/vorla-bridge").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755U);
    EXPECT_FALSE(fs::exists(home.file(".vorla-agents/backups")));  // nothing existed to back up
}

TEST_F(InstallerTest, missingBridgeFailsBeforeTouchingAnything) {
    fs::create_directories(home.file(".claude"));
    Installer installer(home.path(), {home.file("nowhere/vorla-bridge")}, clock);

    EXPECT_FALSE(installer.install(Source::claude));
    EXPECT_EQ(installer.lastMessage(), "Failed: Bridge binary missing from the app bundle.");
    EXPECT_FALSE(fs::exists(home.file(".claude/settings.json")));
    EXPECT_FALSE(installer.install(Source::kiro));
}

TEST_F(InstallerTest, kiroIsNotWiredUp) {
    Installer installer = make();
    EXPECT_FALSE(installer.install(Source::kiro));
    EXPECT_EQ(installer.lastMessage(), "Failed: Kiro adapter isn't wired up yet.");
    EXPECT_EQ(installer.agents().size(), 3U);
}

TEST_F(InstallerTest, uninstallDropsEventsLeftEmptyThenTheHooksKey) {
    write(".codex/hooks.json",
          json{{"hooks", {{"PreToolUse", json::array({kForeignGroup})}}}}.dump());
    write(".claude/settings.json", R"({"theme":"dark"})");
    Installer installer = make();
    ASSERT_TRUE(installer.install(Source::codex));
    ASSERT_TRUE(installer.install(Source::claude));

    ASSERT_TRUE(installer.uninstall(Source::codex));
    ASSERT_TRUE(installer.uninstall(Source::claude));

    EXPECT_EQ(installer.lastMessage(), "Removed hooks for claude.");
    EXPECT_EQ(read(".codex/hooks.json"),
              json({{"hooks", {{"PreToolUse", json::array({kForeignGroup})}}}}));
    EXPECT_EQ(read(".claude/settings.json"), json({{"theme", "dark"}}));
    EXPECT_EQ(statusOf(installer, Source::codex), Case::notInstalled);
}

TEST_F(InstallerTest, codexLayoutUsesNoMatcherOrAnEmptyOne) {
    fs::create_directories(home.file(".codex"));
    Installer installer = make();
    ASSERT_TRUE(installer.install(Source::codex));
    json hooks = read(".codex/hooks.json")["hooks"];
    EXPECT_EQ(hooks.size(), 5U);
    EXPECT_EQ(hooks["PermissionRequest"][0].count("matcher"), 0U);
    EXPECT_EQ(hooks["PreToolUse"][0]["matcher"], "");
    EXPECT_EQ(hooks["PostToolUse"][0]["hooks"][0]["timeout"], 5);
    EXPECT_EQ(hooks.count("UserPromptSubmit"), 0U);
}

TEST_F(InstallerTest, ownershipAndConflictsAcrossOwners) {
    json notch = groupRunning("/opt/notchy/hook");
    json ours = installer::group(home.path(), Source::claude, "*", 5);
    write(".claude/settings.json", json{{"hooks", {{"Stop", json::array({notch, ours})}}}}.dump());
    Installer installer = make();
    EXPECT_EQ(statusOf(installer, Source::claude), Case::installed);
    EXPECT_EQ(installer.foreignOwner(Source::claude), "another notch app");

    write(".claude/settings.json", json{{"hooks", {{"Stop", json::array({notch})}}}}.dump());
    installer.refresh();
    EXPECT_EQ(installer.agents()[0].status, Installer::Status::conflict("another notch app"));

    // "notch" identifies the owner, but eviction looks for "island": it stays.
    ASSERT_TRUE(installer.evict("another notch app", Source::claude));
    EXPECT_EQ(installer.lastMessage(), "Removed another notch app's hooks from claude.");
    EXPECT_EQ(read(".claude/settings.json")["hooks"]["Stop"], json::array({notch}));

    json pebble = groupRunning("~/.pebble-harbor/hook");
    write(".claude/settings.json",
          json{{"hooks", {{"Stop", json::array({notch, pebble})}}}}.dump());
    installer.refresh();
    EXPECT_EQ(installer.agents()[0].status, Installer::Status::conflict("Pebble Harbor"));
}

TEST_F(InstallerTest, evictionRemovesTheOwnersStatusLineOnlyWhenItIsTheirs) {
    json island = groupRunning("/Apps/island/bridge");
    write(".claude/settings.json", json{{"statusLine", {{"command", "/Apps/island/status"}}},
                                        {"hooks", {{"Stop", json::array({island})}}}}
                                       .dump());
    write(".codex/hooks.json", json{{"hooks", {{"Stop", json::array({island})}}}, {"x", 1}}.dump());
    Installer installer = make();

    ASSERT_TRUE(installer.evict("another notch app", Source::claude));
    ASSERT_TRUE(installer.evict("another notch app", Source::codex));

    EXPECT_EQ(read(".claude/settings.json"), json::object());
    EXPECT_EQ(read(".codex/hooks.json"), json({{"x", 1}}));

    json keep = {{"statusLine", {{"command", "/Apps/island/status"}}},
                 {"hooks", {{"Stop", json::array({groupRunning("pebble-harbor run")})}}}};
    write(".claude/settings.json", keep.dump());
    ASSERT_TRUE(installer.evict("Pebble Harbor", Source::claude));
    EXPECT_EQ(read(".claude/settings.json"), json({{"statusLine", keep["statusLine"]}}));
}

TEST_F(InstallerTest, grokGetsItsOwnFileAndOneCompatSection) {
    write(".grok/config.toml", "model = \"grok-4\"");
    write(".grok/hooks/pebble-harbor.json", "{}");
    Installer installer = make();
    EXPECT_EQ(installer.agents()[2].status, Installer::Status::conflict("Pebble Harbor"));

    ASSERT_TRUE(installer.evict("Pebble Harbor", Source::grok));
    EXPECT_FALSE(fs::exists(home.file(".grok/hooks/pebble-harbor.json")));
    ASSERT_TRUE(installer.install(Source::grok));
    ASSERT_TRUE(installer.install(Source::grok));

    EXPECT_EQ(home.read(".grok/config.toml"),
              "model = \"grok-4\"\n\n[compat.claude]\nhooks = false\n");
    EXPECT_EQ(read(".grok/hooks/vorla.json"), json({{"hooks", installer::grokHooks(home.path())}}));
    EXPECT_EQ(installer.agents()[2].status, Installer::Status::installed());

    ASSERT_TRUE(installer.uninstall(Source::grok));
    EXPECT_FALSE(fs::exists(home.file(".grok/hooks/vorla.json")));
    EXPECT_TRUE(fs::exists(home.file(".grok/config.toml")));
    EXPECT_EQ(installer.agents()[2].status, Installer::Status::notInstalled());
}

TEST_F(InstallerTest, backupsTakenInTheSameSecondKeepTheFirstCopy) {
    write(".claude/settings.json", R"({"first":true})");
    Installer installer = make();
    ASSERT_TRUE(installer.install(Source::claude));
    ASSERT_TRUE(installer.uninstall(Source::claude));  // same second: skipped

    std::string folder = ".vorla-agents/backups/2025-06-01T14-03-09Z/";
    EXPECT_EQ(read(folder + ".claude_settings.json"), json({{"first", true}}));

    clock.wall += std::chrono::seconds(1);
    ASSERT_TRUE(installer.install(Source::claude));
    EXPECT_EQ(read(".vorla-agents/backups/2025-06-01T14-03-10Z/.claude_settings.json"),
              json({{"first", true}}));
}

// The command text we write must really start the staged bridge from a shell.
TEST_F(InstallerTest, writtenHookCommandsRunTheStagedBridge) {
    fs::create_directories(home.file(".claude"));
    fs::create_directories(home.file(".codex"));
    fs::create_directories(home.file(".grok"));
    Installer installer = make();
    ASSERT_TRUE(installer.install(Source::claude));
    ASSERT_TRUE(installer.install(Source::codex));
    ASSERT_TRUE(installer.install(Source::grok));
    ASSERT_TRUE(ensurePrivateDirectory(runDir()));
    test::LineListener app(socketPath(), [](const std::string&) { return std::nullopt; });

    std::vector<std::string> commands = {
        read(".claude/settings.json")["hooks"]["PostToolUse"][0]["hooks"][0]["command"],
        read(".codex/hooks.json")["hooks"]["Stop"][0]["hooks"][0]["command"],
        read(".grok/hooks/vorla.json")["hooks"]["SessionStart"][0]["hooks"][0]["command"],
    };
    for (const std::string& command : commands) {
        test::ChildOptions options;
        options.args = {"/bin/sh", "-c", command};
        options.input = R"({"hook_event_name":"Stop","session_id":"s1"})";
        auto result = test::runChild(options);
        EXPECT_EQ(result.exitCode, 0) << result.err;
    }

    auto lines = app.waitForLines(3);
    ASSERT_EQ(lines.size(), 3U);
    std::vector<std::string> sources;
    sources.reserve(lines.size());
    for (const std::string& line : lines) {
        sources.push_back(json::parse(line)["source"]);
    }
    EXPECT_EQ(sources, (std::vector<std::string>{"claude", "codex", "grok"}));
}

}  // namespace
}  // namespace vorla
