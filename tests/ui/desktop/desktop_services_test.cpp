// The desktop edges of the settings window with real programs: the QR image
// read back by a barcode reader, the autostart entry on disk, and "Reveal"
// reaching a file manager on a private session bus.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTest>
#include <csignal>
#include <filesystem>

#include "engine/phone/qr_code.h"
#include "support/child_process.h"
#include "support/scoped_env.h"
#include "support/temp_home.h"
#include "ui/desktop/file_reveal.h"
#include "ui/desktop/login_item.h"
#include "ui/settings/agents_page.h"
#include "ui/settings/qr_image.h"
#include "ui/settings_fixture.h"

namespace vorla::ui::test {
namespace {

vorla::test::ChildOptions command(std::vector<std::string> args,
                                  std::map<std::string, std::optional<std::string>> env = {}) {
    vorla::test::ChildOptions options;
    options.args = std::move(args);
    options.env = std::move(env);
    options.timeout = std::chrono::milliseconds(30000);
    return options;
}

TEST(QRImage, ReadsBackAsExactlyThePairingAddress) {
    vorla::test::TempHome home;
    const std::string address = "http://build-box.local:8787/?t=AbCdEfGhIjKlMnOpQrStUvWxYz012345";
    auto matrix = phone::qrMatrix(address);
    ASSERT_TRUE(matrix);
    QImage image = qrImage(*matrix, pixelsPerModuleFor(*matrix, 264));
    EXPECT_EQ(image.width(), (matrix->size + 2 * kQuietModules) * pixelsPerModuleFor(*matrix, 264));
    // Whole pixels per module: only pure black and white, no smoothing.
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) {
            const int grey = qGray(image.pixel(x, y));
            ASSERT_TRUE(grey == 0 || grey == 255) << x << "," << y;
        }
    }
    const std::string file = home.file("qr.png");
    ASSERT_TRUE(image.save(QString::fromStdString(file)));
    auto read = vorla::test::runChild(command({"/usr/bin/zbarimg", "--raw", "-q", file}));
    EXPECT_EQ(read.out, address + "\n");
}

TEST(LoginItem, WritesTheAutostartEntryAndRemovesIt) {
    vorla::test::TempHome home;
    vorla::test::ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
    XdgLoginItems items("/opt/vorla agents/bin/vorla-agents");
    EXPECT_EQ(items.entryPath(), home.file(".config/autostart/vorla-agents.desktop"));
    EXPECT_TRUE(items.setRegistered(true));
    auto entry = home.read(".config/autostart/vorla-agents.desktop");
    ASSERT_TRUE(entry);
    EXPECT_NE(entry->find("\nExec=\"/opt/vorla agents/bin/vorla-agents\"\n"), std::string::npos);
    EXPECT_TRUE(items.registered());
    EXPECT_TRUE(items.setRegistered(false));
    EXPECT_FALSE(items.registered());
    EXPECT_TRUE(items.setRegistered(false));
}

TEST_F(SettingsFixture, FailedLaunchAtLoginIsLoggedAndTheSwitchShowsTheTruth) {
    home_.write(".config", "a file where the folder should be");
    XdgLoginItems items("/usr/bin/vorla-agents",
                        home_.file(".config/autostart/vorla-agents.desktop"));
    Prefs prefs(preferences_, &items);
    SettingsContext context = context_;
    // The page reads these through the context: point it at the failing item.
    SettingsContext failing{store_,
                            installer_,
                            prefs,
                            rules_,
                            auditLog_,
                            remote_,
                            game_,
                            clock_,
                            context.openFolder,
                            context.revealFile,
                            [&items] { return items.registered(); }};
    SettingsWindow window(failing, SettingsTab::agents);
    window.show();
    auto* box = window.findChild<QCheckBox*>(QStringLiteral("Launch at login"));
    ASSERT_NE(box, nullptr);
    ::testing::internal::CaptureStderr();
    box->click();
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("launch-at-login toggle failed: could not create"), std::string::npos)
        << log;
    EXPECT_TRUE(prefs.launchAtLogin());
    EXPECT_FALSE(shownChild<QCheckBox>(&window, QStringLiteral("Launch at login"))->isChecked());
}

// A file manager on a private bus that writes the URIs it is asked to show.
constexpr const char* kFakeFileManager = R"PY(
import sys, dbus, dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib
DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
name = dbus.service.BusName("org.freedesktop.FileManager1", bus)
class FM(dbus.service.Object):
    @dbus.service.method("org.freedesktop.FileManager1", in_signature="ass", out_signature="")
    def ShowItems(self, uris, startup):
        with open(sys.argv[1], "a") as f:
            f.write("\n".join(uris) + "\n")
FM(bus, "/org/freedesktop/FileManager1")
print("ready", flush=True)
GLib.MainLoop().run()
)PY";

// A private session bus for one test; the daemon is ours and ends with it.
class PrivateBus {
  public:
    PrivateBus() {
        auto started =
            vorla::test::runChild(command({"/usr/bin/dbus-daemon", "--session", "--fork",
                                           "--nopidfile", "--print-address=1", "--print-pid=1"}));
        auto lines = QString::fromStdString(started.out).split('\n', Qt::SkipEmptyParts);
        if (lines.size() >= 2) {
            address_ = lines[0].trimmed().toStdString();
            pid_ = lines[1].trimmed().toInt();
        }
    }
    ~PrivateBus() {
        QDBusConnection::disconnectFromBus(QStringLiteral("private"));
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
        }
    }
    [[nodiscard]] const std::string& address() const { return address_; }
    [[nodiscard]] QDBusConnection connect() const {
        return QDBusConnection::connectToBus(QString::fromStdString(address_),
                                             QStringLiteral("private"));
    }

  private:
    std::string address_;
    int pid_ = -1;
};

// Without a file manager on the bus the folder opens; with one, it is asked
// to show the file by its encoded URI.
TEST(FileReveal, FallsBackToTheFolderThenReachesTheFileManager) {
    vorla::test::TempHome home;
    home.write("bin/xdg-open", "#!/bin/sh\necho \"$1\" >> '" + home.file("opened") + "'\n");
    std::filesystem::permissions(home.file("bin/xdg-open"), std::filesystem::perms::owner_all);
    vorla::test::ScopedEnv path("PATH", home.file("bin") + ":" + std::getenv("PATH"));
    home.write("fm.py", kFakeFileManager);
    home.write("my notes/plan é.md", "x");
    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty());
    QDBusConnection connection = bus.connect();
    ASSERT_TRUE(connection.isConnected());

    revealFile(home.file("my notes/plan é.md"), connection);
    // The fake's ">>" makes the file before its line is in: wait for the line.
    ASSERT_TRUE(waitFor([&] { return home.read("opened").value_or("").ends_with("\n"); }, 10000));
    EXPECT_EQ(*home.read("opened"), "file://" + home.path() + "/my%20notes\n");

    const std::string shown = home.file("shown");
    vorla::test::RunningChild manager(command({"/usr/bin/python3", home.file("fm.py"), shown},
                                              {{"DBUS_SESSION_BUS_ADDRESS", bus.address()}}));
    ASSERT_TRUE(waitFor(
        [&] {
            return connection.interface()->isServiceRegistered(
                QStringLiteral("org.freedesktop.FileManager1"));
        },
        10000));
    revealFile(home.file("my notes/plan é.md"), connection);
    ASSERT_TRUE(waitFor(
        [&] {
            return home.read("shown").value_or("") ==
                   "file://" + home.path() + "/my%20notes/plan%20%C3%A9.md\n";
        },
        10000));
    manager.kill(SIGTERM);
}

}  // namespace
}  // namespace vorla::ui::test
