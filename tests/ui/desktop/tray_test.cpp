// The tray item's menu, and the watch that makes the tray once the desktop
// has a StatusNotifier host: a watcher service on the private session bus,
// exported from a connection of its own as a panel would.
#include "ui/desktop/tray.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDBusConnection>
#include <cstdlib>
#include <string_view>
#include <thread>

#include "e2e/e2e_support.h"
#include "ui/desktop/tray_icon_image.h"

namespace vorla::test {
namespace {

using namespace std::chrono_literals;

TEST(Tray, MenuHasSettingsAndQuitAndEachCallsItsAction) {
    ui::Tray tray(ui::trayIcon());
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

class FakeWatcher final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
  public:
    bool host = false;
    [[nodiscard]] bool hostRegistered() const { return host; }
    Q_SIGNAL void StatusNotifierHostRegistered();
};

bool pumpUntil(const std::function<bool()>& done) {
    return eventually([&] {
        QCoreApplication::processEvents();
        return done();
    });
}

void pumpFor(std::chrono::milliseconds span) {
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(10ms);
    }
}

TEST(Tray, TheTrayComesOnceAHostRegistersEvenAfterUs) {
    const char* privateBus = std::getenv("VORLA_PRIVATE_BUS");
    if (privateBus == nullptr || std::string_view(privateBus) != "1") {
        GTEST_SKIP() << "needs the private session bus of the ctest command";
    }
    int hosts = 0;
    int absent = 0;
    ui::TrayHostWatch watch([&] { ++hosts; }, [&] { ++absent; });
    ASSERT_TRUE(pumpUntil([&] { return absent == 1; }));

    // A watcher without a host (a panel still starting) is not a tray yet.
    FakeWatcher watcher;
    QDBusConnection panel =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("panel"));
    ASSERT_TRUE(panel.registerObject(
        QStringLiteral("/StatusNotifierWatcher"), &watcher,
        QDBusConnection::ExportAllProperties | QDBusConnection::ExportAllSignals));
    ASSERT_TRUE(panel.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));
    pumpFor(300ms);
    EXPECT_EQ(hosts, 0);

    watcher.host = true;
    emit watcher.StatusNotifierHostRegistered();
    ASSERT_TRUE(pumpUntil([&] { return hosts == 1; }));
    emit watcher.StatusNotifierHostRegistered();
    pumpFor(200ms);
    EXPECT_EQ(hosts, 1);
    EXPECT_EQ(absent, 1);

    // Started when the host is already there: at once.
    int later = 0;
    ui::TrayHostWatch second([&] { ++later; }, [] {});
    EXPECT_TRUE(pumpUntil([&] { return later == 1; }));

    panel.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    QDBusConnection::disconnectFromBus(QStringLiteral("panel"));
}

}  // namespace
}  // namespace vorla::test

#include "tray_test.moc"
