// The tray item's menu: its two entries and what they call.
#include "ui/tray.h"

#include <gtest/gtest.h>

#include <QAction>

#include "ui/tray_icon_image.h"

namespace vorla::test {
namespace {

TEST(Tray, MenuHasSettingsAndQuitAndEachCallsItsAction) {
    ui::Tray tray(ui::menuBarIcon());
    std::vector<std::string> called;
    tray.onSettings = [&] { called.emplace_back("settings"); };
    tray.onQuit = [&] { called.emplace_back("quit"); };

    QStringList texts;
    for (QAction* action : tray.menu().actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        action->trigger();
    }
    EXPECT_EQ(texts, (QStringList{"Settings…", "-", "Quit Vorla Agents"}));
    EXPECT_EQ(called, (std::vector<std::string>{"settings", "quit"}));
    EXPECT_FALSE(tray.icon().icon().isNull());
}

}  // namespace
}  // namespace vorla::test
