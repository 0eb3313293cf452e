// A settings window over real engine stores in a temporary HOME, with a
// clock fixed at a weekday noon, and helpers to read what a page shows.
#pragma once

#include <gtest/gtest.h>

#include <QStringList>
#include <QTest>
#include <functional>
#include <memory>
#include <string>

#include "engine/installer/installer.h"
#include "engine/phone/remote_approval.h"
#include "engine/policy/prefs.h"
#include "engine/policy/rule_store.h"
#include "engine/records/audit_log.h"
#include "engine/records/game.h"
#include "engine/session/session_store.h"
#include "support/manual_clock.h"
#include "support/scoped_env.h"
#include "support/temp_home.h"
#include "ui/desktop/qt_main_queue.h"
#include "ui/settings/settings_context.h"
#include "ui/settings/settings_window.h"

namespace vorla::ui::test {

// Runs the event loop until `condition` holds; false after `timeoutMs`.
[[nodiscard]] bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);
// Every text a widget tree shows: labels, button titles, painted list rows.
[[nodiscard]] QStringList shownTexts(QWidget* root);
// True when some shown text equals `text`.
[[nodiscard]] bool shows(QWidget* root, const QString& text);
// The child named `name` that is on the page (not one being replaced).
[[nodiscard]] bool onPage(QWidget* widget, QWidget* root);
template <typename T>
T* shownChild(QWidget* root, const QString& name) {
    for (T* child : root->findChildren<T*>(name)) {
        if (onPage(child, root)) {
            return child;
        }
    }
    return nullptr;
}
// Clicks the visible button titled `title`; fails the test when there is none.
void clickButton(QWidget* root, const QString& title);

class SettingsFixture : public ::testing::Test {
  protected:
    SettingsFixture();
    ~SettingsFixture() override;

    // A live session of `source` in `cwd`.
    void startSession(const std::string& id, const std::string& cwd,
                      Source source = Source::claude);
    // An audit entry `minutesAgo` before the fixed now.
    void record(const std::string& kind, const std::string& tool, const std::string& detail,
                int minutesAgo, const std::string& project = "shop",
                const std::string& session = "s1", std::optional<int> risk = std::nullopt);

    // The window, made on first use, opened on `tab`.
    SettingsWindow& window(SettingsTab tab = SettingsTab::agents);
    template <typename P>
    P* show(SettingsTab tab) {
        window(tab).select(tab);
        return dynamic_cast<P*>(window().page(tab));
    }

    vorla::test::ScopedEnv tz_{"TZ", "UTC"};
    vorla::test::TempHome home_;
    vorla::test::ManualClock clock_;
    QtMainQueue queue_;
    SessionStore store_{queue_, clock_};
    MemoryPreferencesStore preferences_;
    Prefs prefs_{preferences_};
    RuleStore rules_{clock_, home_.file(".vorla-agents/data/rules.json")};
    AuditLog auditLog_{clock_, home_.file(".vorla-agents/audit")};
    Game game_{clock_, home_.file(".vorla-agents/data/game.json")};
    Installer installer_{home_.path(), {}, clock_};
    RemoteApproval remote_{queue_, 0};
    std::vector<std::string> opened_;
    std::vector<std::string> revealed_;
    SettingsContext context_;
    std::unique_ptr<SettingsWindow> window_;
};

}  // namespace vorla::ui::test
