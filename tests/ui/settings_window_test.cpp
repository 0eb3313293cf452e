// The window itself: its sidebar, the tab it opens on, closing, and whether
// it opens by itself at start-up.
#include <QShortcut>
#include <QThreadPool>
#include <fstream>

#include "settings_fixture.h"
#include "ui/settings/settings_host.h"
#include "ui/settings/settings_tab.h"
#include "ui/settings/sidebar_item.h"

namespace vorla::ui::test {
namespace {

using Window = SettingsFixture;

TEST_F(Window, SidebarListsTheTenTabsAndSwitchesPages) {
    SettingsWindow& w = window();
    EXPECT_EQ(w.windowTitle(), "Vorla Agents");
    EXPECT_TRUE(shows(&w, "Vorla Agents"));
    EXPECT_TRUE(shows(&w, "v" VORLA_TEST_VERSION));
    EXPECT_EQ(w.tab(), SettingsTab::agents);
    EXPECT_TRUE(w.sidebarItem(SettingsTab::agents)->selected());

    w.sidebarItem(SettingsTab::audit)->click();
    EXPECT_EQ(w.tab(), SettingsTab::audit);
    EXPECT_TRUE(w.sidebarItem(SettingsTab::audit)->selected());
    EXPECT_FALSE(w.sidebarItem(SettingsTab::agents)->selected());
    EXPECT_TRUE(shows(&w, "What your agents did"));
    EXPECT_EQ(w.sidebarItem(SettingsTab::audit)->text(), "Activity");
}

TEST_F(Window, HostOpensOneWindowOnVorlaTabAndCtrlWClosesIt) {
    for (const char* wrong : {"worktrees", "Nope", ""}) {
        vorla::test::ScopedEnv tab("VORLA_TAB", std::string(wrong));
        EXPECT_EQ(initialTab(), SettingsTab::agents) << wrong;
    }
    vorla::test::ScopedEnv tab("VORLA_TAB", "Worktrees");
    SettingsHost host(context_);
    host.open();
    QPointer<SettingsWindow> first = host.window();
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first->tab(), SettingsTab::trees);
    EXPECT_TRUE(first->isVisible());
    host.open();
    EXPECT_EQ(host.window(), first.data());

    first->findChild<QShortcut*>()->activated();
    ASSERT_TRUE(waitFor([&] { return first.isNull(); }));  // closing drops the window and its pages
    EXPECT_EQ(host.window(), nullptr);
}

// The stores die right after the host: work reading them must be over.
TEST_F(Window, ClosingTheHostWaitsForPageWorkThatReadsTheStores) {
    std::string day;
    for (int i = 0; i < 5000; ++i) {
        day += encodeAuditLine({clock_.now() - std::chrono::seconds(i), "claude", "s1", "shop",
                                AuditKind::approved, "Bash", "npm test " + std::to_string(i % 50),
                                1}) +
               "\n";
    }
    std::ofstream(auditLog_.fileFor(clock_.now())) << day;
    auto host = std::make_unique<SettingsHost>(context_);
    host->open();
    host->window()->select(SettingsTab::improve);  // mines the audit log off this thread
    host.reset();
    EXPECT_EQ(QThreadPool::globalInstance()->activeThreadCount(), 0);
}

TEST_F(Window, OpensAtStartWithoutInstalledHooksOrWhenAskedWithOne) {
    using Status = Installer::Status;
    std::vector<Installer::Agent> none = {
        {Source::claude, "Claude Code", ".claude", Status::notInstalled()},
        {Source::codex, "Codex", ".codex", Status::notFound()}};
    std::vector<Installer::Agent> one = none;
    one[1].status = Status::installed();
    EXPECT_TRUE(opensAtStart(none, nullptr));
    EXPECT_TRUE(opensAtStart(none, "yes"));
    EXPECT_FALSE(opensAtStart(one, nullptr));
    EXPECT_TRUE(opensAtStart(one, "1"));
    EXPECT_FALSE(opensAtStart(one, "yes"));
}

}  // namespace
}  // namespace vorla::ui::test
