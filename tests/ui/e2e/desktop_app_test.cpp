// The real desktop app on a real X server (Xvfb with a compositor), driven by
// real bridges and a real pointer click.
#include <gtest/gtest.h>
#include <signal.h>

#include <QColor>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>

#include "../../e2e/e2e_support.h"
#include "support/temp_home.h"
#include "x_server.h"

namespace vorla::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

// Generous: the CI machine has two cores and other suites run beside us.
constexpr auto kDeadline = 30s;

// Pixels for which `match` holds inside `area` of the screen, as their
// bounding box.
std::optional<QRect> find(const QImage& image, QRect area,
                          const std::function<bool(QColor)>& match) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.valid(x, y) && match(QColor(image.pixel(x, y)))) {
                box = box.united(QRect(x, y, 1, 1));
            }
        }
    }
    return box.isNull() ? std::nullopt : std::optional(box);
}

// Sprite dots are smaller than a pixel here, so they show as dimmed pink.
bool pinkish(QColor c) {
    return c.red() > 110 && c.red() > c.green() + 50 && c.blue() > c.green() + 20;
}

// The Allow button is filled with the palette's green.
bool allowGreen(QColor c) {
    return std::abs(c.red() - 140) < 12 && std::abs(c.green() - 232) < 12 &&
           std::abs(c.blue() - 140) < 12;
}

class DesktopAppTest : public ::testing::Test {
  protected:
    // A user whose hooks are installed: the settings window stays closed at
    // start. `display` and `wayland` are the app's DISPLAY and WAYLAND_DISPLAY.
    std::unique_ptr<RunningChild> startApp(std::optional<std::string> display,
                                           std::optional<std::string> wayland = std::nullopt) {
        ChildOptions install;
        install.args = {VORLA_APP_PATH, "hooks", "install", "claude"};
        install.env = {{"HOME", home.path()}};
        EXPECT_EQ(runChild(install).exitCode, 0);
        ChildOptions options;
        options.args = {VORLA_APP_PATH};
        options.env = {
            {"DISPLAY", std::move(display)},
            {"HOME", home.path()},
            {"QT_QPA_PLATFORM", std::nullopt},
            {"WAYLAND_DISPLAY", wayland},
            {"XDG_SESSION_TYPE", wayland ? std::optional<std::string>("wayland") : std::nullopt},
            {"VORLA_REMOTE", std::nullopt}};
        return std::make_unique<RunningChild>(options);
    }

    // Starts the app in an environment, lets it come up (with its island
    // when `island`), stops it, and returns what it logged.
    std::string logOfRun(std::optional<std::string> display, std::optional<std::string> wayland,
                         bool island = false) {
        auto app = startApp(std::move(display), std::move(wayland));
        EXPECT_TRUE(eventually([&] { return std::filesystem::exists(socket()); }, kDeadline));
        if (island) {
            EXPECT_TRUE(eventually([&] { return x.windowOf(app->pid()).has_value(); }, kDeadline));
        }
        app->kill(SIGTERM);
        auto result = app->wait(kDeadline);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.err;
    }

    [[nodiscard]] std::string socket() const { return home.file(".vorla-agents/run/vorla.sock"); }

    std::optional<XServer::Rect> island(int pid) {
        std::optional<XServer::Rect> rect;
        eventually([&] { return (rect = x.windowOf(pid)).has_value(); }, kDeadline);
        return rect;
    }

    XServer x;
    TempHome home;
};

TEST_F(DesktopAppTest, ShowsSessionsExpandsForAGateAnswersAClickAndCleansUpOnSigterm) {
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    auto app = startApp(x.display());
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(socket()); }, kDeadline));
    auto collapsed = island(app->pid());
    ASSERT_TRUE(collapsed);
    EXPECT_EQ(collapsed->y, 0);
    EXPECT_EQ(collapsed->x + collapsed->width / 2, 1512 / 2);  // centred, no sessions yet

    // A session's sprite (pink while active) appears in the left ear.
    runChild(bridgeOptions(hookPayload("SessionStart", "s1")));
    EXPECT_TRUE(eventually(
        [&] {
            auto rect = x.windowOf(app->pid()).value_or(XServer::Rect{});
            QRect ear(rect.x, rect.y, 46, rect.height);
            return find(x.screenshot(), ear, pinkish).has_value();
        },
        kDeadline));

    // The pointer (resting until now, so the hover check sleeps) moving onto
    // the island opens the panel; moving away closes it.
    auto width = [&] { return x.windowOf(app->pid()).value_or(XServer::Rect{}).width; };
    x.moveTo(1512 / 2, 10);
    EXPECT_TRUE(eventually([&] { return width() == 524; }, kDeadline));
    x.moveTo(100, 600);
    EXPECT_TRUE(eventually([&] { return width() < 300; }, kDeadline));  // collapsed

    // A gate expands the island to 524 wide with its card, pointer or not.
    auto ask = [&](const std::string& command) {
        return std::make_unique<RunningChild>(
            bridgeOptions(toolPayload("PermissionRequest", "s1", "Bash", {{"command", command}})));
    };
    auto waiting = ask("git push origin main");
    std::optional<QRect> allow;
    ASSERT_TRUE(eventually(
        [&] {
            auto rect = x.windowOf(app->pid());
            if (!rect || rect->width != 524) {
                return false;
            }
            // Allow is the green button at the bottom of the card.
            QRect bottom(rect->x, rect->y + rect->height - 70, rect->width, 70);
            allow = find(x.screenshot(), bottom, allowGreen);
            return allow && allow->width() > 40;
        },
        kDeadline));

    x.click(allow->center().x(), allow->center().y());
    auto answered = waiting->wait(kDeadline);
    EXPECT_EQ(claudeDecision(answered)["behavior"], "allow");

    // SIGTERM: a waiting bridge is let go at once and the socket file goes.
    auto abandoned = ask("npm install left-pad");
    ASSERT_TRUE(eventually([&] { return width() == 524; }, kDeadline));
    app->kill(SIGTERM);
    auto appResult = app->wait(kDeadline);
    EXPECT_EQ(appResult.exitCode, 0) << appResult.err;
    EXPECT_NE(appResult.err.find("Vorla Agents up. notch=false w=0 h=32 screen=1512"),
              std::string::npos)
        << appResult.err;
    EXPECT_FALSE(std::filesystem::exists(socket()));
    auto freed = abandoned->wait(kDeadline);
    EXPECT_EQ(freed.exitCode, 0);
    EXPECT_EQ(freed.out, "");
}

// Xvfb cannot change modes, but it takes RandR monitors, from which Qt
// builds its screens: plugging, unplugging and moving the primary one is real
// to the app.
TEST_F(DesktopAppTest, FollowsThePrimaryMonitorAndSurvivesItsUnpluggingWhileExpanded) {
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    auto xrandr = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "xrandr");
        EXPECT_EQ(x.run(std::move(args)).exitCode, 0);
    };
    xrandr({"--setmonitor", "*left", "756/200x982/260+0+0", "none"});
    auto app = startApp(x.display());
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(socket()); }, kDeadline));
    auto at = [&](int centreX, int top, std::function<bool(int)> width = nullptr) {
        return eventually(
            [&] {
                auto rect = x.windowOf(app->pid());
                return rect && rect->x + rect->width / 2 == centreX && rect->y == top &&
                       (!width || width(rect->width));
            },
            kDeadline);
    };
    EXPECT_TRUE(at(378, 0));

    // A new primary monitor, lower and to the right; the old one goes.
    xrandr({"--setmonitor", "*right", "700/200x800/260+800+150", "none"});
    EXPECT_TRUE(at(800 + 350, 150));
    xrandr({"--delmonitor", "left"});
    x.moveTo(1150, 160);
    EXPECT_TRUE(at(1150, 150, [](int w) { return w == 524; }));

    // Unplugged while expanded: back on the remaining (whole) screen, and
    // collapsed, the pointer being far from its centre.
    xrandr({"--delmonitor", "right"});
    EXPECT_TRUE(at(1512 / 2, 0, [](int w) { return w < 300; }));
    app->kill(SIGTERM);
    auto result = app->wait(kDeadline);
    EXPECT_EQ(result.exitCode, 0) << result.err;
}

TEST_F(DesktopAppTest, WithoutAUsableDisplayRunsHeadlessAndOnWaylandUsesXWayland) {
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    auto has = [](const std::string& log, const std::string& text) {
        return log.find(text) != std::string::npos;
    };
    std::string log = logOfRun(std::nullopt, std::nullopt);
    EXPECT_TRUE(has(log, "no display (DISPLAY and WAYLAND_DISPLAY are unset), running headless"))
        << log;
    // A display whose server is gone, or Wayland with neither XWayland nor
    // Qt's plugin for it: Qt would abort; the app carries on headless.
    log = logOfRun(":9999", std::nullopt);
    EXPECT_TRUE(has(log, "cannot open the X display :9999, running headless")) << log;
    log = logOfRun(std::nullopt, "wayland-gone");
    EXPECT_TRUE(has(log, ", running headless")) << log;
    EXPECT_TRUE(has(log, "Vorla Agents up.")) << log;

    log = logOfRun(x.display(), "wayland-gone", true);
    EXPECT_TRUE(has(log, "Wayland session, running through XWayland")) << log;
}

}  // namespace
}  // namespace vorla::test
