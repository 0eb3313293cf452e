// Each settings page over real stores: what it shows empty and filled, and
// what its actions change.
#include <QCheckBox>
#include <QFile>
#include <filesystem>

#include "engine/support/calendar.h"
#include "settings_fixture.h"
#include "support/git.h"
#include "ui/settings/agents_page.h"
#include "ui/settings/improve_page.h"
#include "ui/settings/page.h"
#include "ui/settings/phone_page.h"
#include "ui/settings/rules_page.h"
#include "ui/settings/scores_page.h"
#include "ui/settings/setup_page.h"
#include "ui/settings/usage_page.h"
#include "ui/settings/worktrees_page.h"

namespace vorla::ui::test {
namespace {

using Settings = SettingsFixture;

TEST_F(Settings, AgentsPageShowsEachAgentAndStoresTheApprovalLevel) {
    auto* page = show<AgentsPage>(SettingsTab::agents);
    EXPECT_EQ(shownTexts(page).count(QStringLiteral("not installed on this computer")),
              static_cast<qsizetype>(installer_.agents().size()));

    home_.write(".claude/settings.json", "{}");
    installer_.refresh();
    EXPECT_TRUE(shows(page, "hooks not installed"));
    EXPECT_TRUE(shows(page, "Install"));

    clickButton(page, "Trusted (gate only risky)");
    EXPECT_EQ(prefs_.autoApproveLevel(), 1);
    EXPECT_TRUE(shows(page,
                      "Reads and in-project edits flow; only network, installs, "
                      "out-of-project writes, and destructive commands stop you."));
    clickButton(page, "Ask about everything");
    EXPECT_EQ(prefs_.autoApproveLevel(), -1);

    shownChild<QCheckBox>(page, QStringLiteral("Notify me"))->click();
    EXPECT_TRUE(prefs_.notifyEnabled());
    EXPECT_TRUE(shownChild<QCheckBox>(page, QStringLiteral("Notify me"))->isChecked());
}

TEST_F(Settings, RulesPageListsRulesWithHitsAndForgetsThem) {
    auto* page = show<RulesPage>(SettingsTab::rules);
    EXPECT_TRUE(
        shows(page, "No rules yet.\nTick \"always allow\" on an approval card to teach one."));
    EXPECT_TRUE(shows(page, "0"));

    rules_.add("Bash", "npm test -- --watch", Behavior::allow);
    (void)rules_.decision("Bash", "npm test");
    record("auto-allowed", "Bash", "npm test", 1);
    EXPECT_TRUE(shows(page, "Bash: npm test"));
    EXPECT_TRUE(shows(page, "auto-1x"));
    EXPECT_TRUE(shows(page, "1"));
    EXPECT_TRUE(shows(page, "clicks you didn't have to make today"));

    clickButton(page, "Forget");
    EXPECT_TRUE(rules_.rules().empty());
}

TEST_F(Settings, ScoresPageRanksAgentsAndShowsTheGame) {
    auto* page = show<ScoresPage>(SettingsTab::scores);
    EXPECT_TRUE(shows(page, "No agent activity yet today."));
    EXPECT_TRUE(shows(page, "COINS"));

    record("tool", "Bash", "ls", 5);
    record("tool", "Read", "a.txt", 4);
    record("approved", "Bash", "npm test", 3);
    record("auto-allowed", "Read", "a.txt", 2);
    record("denied", "Bash", "rm -rf x", 1, "shop", "s1", 3);
    game_.unlock("first-blood");
    EXPECT_TRUE(shows(page, "#1"));
    EXPECT_TRUE(shows(page, "Claude Code"));
    EXPECT_TRUE(shows(page, "2 tools · 2 approved · 1 denied · 1 auto"));
    EXPECT_TRUE(shows(page, "66%"));
    EXPECT_EQ(shownTexts(page).count(QStringLiteral("done")), 1);
}

TEST_F(Settings, ImproveTeachesARuleAndKeepsADismissedSuggestionHidden) {
    for (int i = 0; i < 3; ++i) {
        record("approved", "Bash", "npm test", 10 + i);
        record("approved", "Bash", "cargo build --release", 20 + i);
    }
    auto* page = show<ImprovePage>(SettingsTab::improve);
    ASSERT_TRUE(waitFor([&] { return shows(page, "Always allow Bash: npm test"); }));
    EXPECT_TRUE(shows(page, "You've approved this 3 times and never denied it."));

    QWidget* card = nullptr;
    for (auto* label : page->findChildren<QLabel*>()) {
        if (label->text() == "Always allow Bash: cargo build") {
            card = label->parentWidget();
        }
    }
    ASSERT_NE(card, nullptr);
    clickButton(card, "Dismiss");
    EXPECT_FALSE(shows(page, "Always allow Bash: cargo build"));

    clickButton(page, "Teach it");
    ASSERT_EQ(rules_.rules().size(), 1U);
    EXPECT_EQ(rules_.rules()[0].key, "Bash: npm test");
    EXPECT_TRUE(shows(page,
                      "Nothing to suggest yet. Approve the same boring command a few times "
                      "and it'll turn up here."));

    // Mined again on the next visit: the dismissed one stays hidden.
    window().select(SettingsTab::rules);
    window().select(SettingsTab::improve);
    ASSERT_TRUE(
        waitFor([&] { return !static_cast<bool>(shows(page, "Reading the last 7 days…")); }));
    EXPECT_FALSE(shows(page, "Always allow Bash: cargo build"));
}

TEST_F(Settings, ActivityListsTodayAndExportsCSVToTheDesktop) {
    Page* page = show<Page>(SettingsTab::audit);
    EXPECT_TRUE(shows(page, "Nothing recorded yet today."));

    record("auto-allowed", "Read", "README.md", 90, "shop", "s1", 0);
    record("denied", "Bash", "rm -rf build", 30, "shop", "s1", 3);
    EXPECT_TRUE(shows(page, "11:30:00 | Claude Code | denied | Bash  rm -rf build | DESTRUCTIVE"));
    EXPECT_TRUE(shows(page, "10:30:00 | Claude Code | auto-allowed | Read  README.md | read-only"));

    clickButton(page, "Export CSV");
    ASSERT_TRUE(
        waitFor([&] { return shows(page, "Saved vorla-agents-audit.csv to your Desktop."); }));
    auto csv = home_.read("Desktop/vorla-agents-audit.csv");
    ASSERT_TRUE(csv.has_value());
    EXPECT_NE(csv->find("rm -rf build"), std::string::npos);
}

TEST_F(Settings, UsageReadsTranscriptsInTheBackgroundThenShowsFigures) {
    auto* page = show<UsagePage>(SettingsTab::usage);
    EXPECT_TRUE(shows(page, "Reading transcripts…"));
    ASSERT_TRUE(waitFor([&] { return !page->loading(); }));
    EXPECT_TRUE(shows(page, "$0.00"));

    const std::string today = dayKey(clock_.now());
    home_.write(
        ".claude/projects/shop/a.jsonl",
        R"({"type":"assistant","timestamp":")" + today +
            R"(T11:00:00Z","message":{"id":"m1","model":"claude-sonnet-4-5","usage":{"input_tokens":1000,"output_tokens":1260}}})"
            "\n");
    std::filesystem::last_write_time(
        home_.file(".claude/projects/shop/a.jsonl"),
        std::filesystem::file_time_type::clock::from_sys(clock_.now()));
    window().select(SettingsTab::rules);
    window().select(SettingsTab::usage);
    EXPECT_TRUE(shows(page, "Reading transcripts…"));
    ASSERT_TRUE(waitFor([&] { return !page->loading(); }));
    EXPECT_EQ(shownTexts(page).count(QStringLiteral("1.3k output tokens")), 2);
    EXPECT_TRUE(shows(page, "Sonnet"));
    EXPECT_TRUE(shows(page, "in 1.0k · out 1.3k"));
    EXPECT_TRUE(shows(page, "1 msgs"));
}

TEST_F(Settings, PhonePageShowsTheNotesOffAndTheAddressOn) {
    auto* page = show<PhonePage>(SettingsTab::phone);
    EXPECT_TRUE(shows(page, "Local network only. No cloud, no account, no relay."));
    clickButton(page, "Enable phone approvals");
    ASSERT_TRUE(remote_.enabled());
    EXPECT_TRUE(shows(page, "Scan with your phone's camera"));
    EXPECT_TRUE(shows(page, QString::fromStdString(remote_.pairingURL())));
    EXPECT_NE(page->findChild<QLabel*>(QStringLiteral("qr")), nullptr);
    clickButton(page, "Turn off");
    EXPECT_FALSE(remote_.enabled());
    EXPECT_TRUE(shows(page, "Enable phone approvals"));
}

TEST_F(Settings, SetupListsContextFilesAndRevealsThem) {
    auto* page = show<SetupPage>(SettingsTab::setup);
    ASSERT_TRUE(waitFor([&] { return shows(page, "No context files found yet."); }));

    home_.write("shop/CLAUDE.md", "Be brief.\n");
    std::filesystem::last_write_time(
        home_.file("shop/CLAUDE.md"),
        std::filesystem::file_time_type::clock::from_sys(clock_.now()));
    startSession("s1", home_.file("shop"));
    window().select(SettingsTab::agents);
    window().select(SettingsTab::setup);
    ASSERT_TRUE(waitFor([&] { return shows(page, "CLAUDE.md"); }));
    EXPECT_TRUE(shows(page, "~/shop/CLAUDE.md"));
    EXPECT_TRUE(shows(page, "CHANGED TODAY"));
    clickButton(page, "Reveal");
    EXPECT_EQ(revealed_, std::vector<std::string>{home_.file("shop/CLAUDE.md")});
}

TEST_F(Settings, WorktreesPageFindsTheLiveSessionsRepository) {
    auto* page = show<WorktreesPage>(SettingsTab::trees);
    ASSERT_TRUE(waitFor([&] {
        return shows(page, "No worktrees found. Start an agent inside a git repo, then rescan.");
    }));

    const std::string repo = home_.file("shop");
    std::filesystem::create_directories(repo);
    vorla::test::git(repo, {"init", "-q"});
    startSession("s1", repo);
    clickButton(page, "Rescan");
    ASSERT_TRUE(waitFor([&] { return shows(page, "~/shop"); }));
    EXPECT_TRUE(shows(page, "main"));
    EXPECT_TRUE(shows(page, "Claude Code"));
}

}  // namespace
}  // namespace vorla::ui::test
