// The real desktop app on a real X server (Xvfb with a compositor), driven by
// real bridges and a real pointer click.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QColor>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

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
                                           std::optional<std::string> wayland = std::nullopt,
                                           bool settings = false) {
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
            {"VORLA_REMOTE", std::nullopt},
            {"VORLA_SETTINGS", settings ? std::optional<std::string>("1") : std::nullopt}};
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

    // The window's size as the X server has it; zero while there is none.
    std::pair<int, int> sizeOf(int pid) const {
        const auto rect = x.windowOf(pid).value_or(XServer::Rect{});
        return {rect.width, rect.height};
    }

    bool becomes(int pid, int width, int height) const {
        return eventually([&] { return sizeOf(pid) == std::pair(width, height); }, kDeadline);
    }

    // Sends a PermissionRequest for `command`; the bridge waits for the answer.
    static std::unique_ptr<RunningChild> ask(const std::string& command) {
        return std::make_unique<RunningChild>(
            bridgeOptions(toolPayload("PermissionRequest", "s1", "Bash", {{"command", command}})));
    }

    // The gate card's Allow button (green, at the bottom of the open
    // panel), once the island shows one.
    std::optional<QRect> allowButton(int pid) const {
        std::optional<QRect> allow;
        eventually(
            [&] {
                auto rect = x.windowOf(pid);
                if (!rect || rect->width != 524) {
                    return false;
                }
                QRect bottom(rect->x, rect->y + rect->height - 70, rect->width, 70);
                allow = find(x.screenshot(), bottom, allowGreen);
                return allow && allow->width() > 40;
            },
            kDeadline);
        return allow;
    }

    // A window of another program, opened after the island, over the top
    // centre of the screen; and its id once it is mapped.
    std::unique_ptr<RunningChild> coverWindow(std::string& id) const {
        ChildOptions options;
        options.args = {"/usr/bin/xmessage", "-geometry", "900x500+300+0", "cover"};
        options.env = {{"DISPLAY", x.display()}};
        auto cover = std::make_unique<RunningChild>(options);
        eventually(
            [&] {
                auto found =
                    x.run({"xdotool", "search", "--onlyvisible", "--classname", "xmessage"});
                std::istringstream ids(found.out);
                std::string newest;
                for (std::string one; ids >> one;) {
                    newest = one;
                }
                id = newest;
                return !id.empty() && id != lastCover_;
            },
            kDeadline);
        lastCover_ = id;
        return cover;
    }

    // Whether window `upper` is stacked above window `lower`.
    bool above(const std::string& upper, const std::string& lower) const {
        const auto order = x.stacking();
        const auto at = [&](const std::string& id) {
            return std::find(order.begin(), order.end(), id) - order.begin();
        };
        return at(upper) > at(lower) && at(upper) < static_cast<long>(order.size());
    }

    std::optional<XServer::Rect> island(int pid) {
        std::optional<XServer::Rect> rect;
        eventually([&] { return (rect = x.windowOf(pid)).has_value(); }, kDeadline);
        return rect;
    }

    XServer x;
    TempHome home;
    mutable std::string lastCover_;
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
    auto waiting = ask("git push origin main");
    auto allow = allowButton(app->pid());
    ASSERT_TRUE(allow);

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

// Sizes read back from the real window: the collapsed width follows the first
// session's activity, a gate opened while collapsed is measured at the
// panel's own width, and a lap runs in its own frame, not the last panel's.
TEST_F(DesktopAppTest, TheWindowFollowsActivityGatesAndLapsInSize) {
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    x.warpTo(100, 600);
    auto app = startApp(x.display());
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(socket()); }, kDeadline));
    const int pid = app->pid();
    runChild(bridgeOptions(hookPayload("SessionStart", "s1")));
    EXPECT_TRUE(becomes(pid, 185, 32));  // "Session started": 15 x 6.6 + 24, 46, 16
    runChild(bridgeOptions(hookPayload("UserPromptSubmit", "s1", {{"prompt", "go"}})));
    EXPECT_TRUE(becomes(pid, 139, 32));  // "Thinking"

    // Measured right the first time: another session coming (which measures
    // the panel again) leaves the height as it is.
    auto waiting = ask("git push origin main");
    auto allow = allowButton(pid);
    ASSERT_TRUE(allow);
    const int gateHeight = sizeOf(pid).second;
    runChild(bridgeOptions(hookPayload("SessionStart", "s2", {{"cwd", "/work/till"}})));
    std::this_thread::sleep_for(500ms);  // a re-measure would have shown by now
    EXPECT_EQ(sizeOf(pid), std::pair(524, gateHeight));

    x.click(allow->center().x(), allow->center().y());
    EXPECT_EQ(claudeDecision(waiting->wait(kDeadline))["behavior"], "allow");
    x.warpTo(100, 600);
    ASSERT_TRUE(eventually([&] { return sizeOf(pid).first < 524; }, kDeadline));
    runChild(bridgeOptions(hookPayload("Stop", "s1")));
    ASSERT_TRUE(becomes(pid, 524, 72));  // the lap: notch height + 40
    // In the collapsed outline's radii (11 at the bottom corners, not 22):
    // this pixel is inside the first and outside the second.
    const XServer::Rect lap = *x.windowOf(pid);
    EXPECT_EQ(QColor(x.screenshot().pixel(lap.x + 17, lap.y + 69)), QColor(Qt::black));
    app->kill(SIGTERM);
    EXPECT_EQ(app->wait(kDeadline).exitCode, 0);
}

// The pointer is read where it is, however it got there: jumps into the
// hover margin open the island, and the whole open panel (taller than 320
// with four sessions) keeps it open.
TEST_F(DesktopAppTest, HoverSeesAPointerThatJumpsAndCoversTheWholeOpenPanel) {
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    x.warpTo(100, 600);
    auto app = startApp(x.display());
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(socket()); }, kDeadline));
    const int pid = app->pid();
    for (auto id : {"s1", "s2", "s3", "s4"}) {
        runChild(bridgeOptions(hookPayload("SessionStart", id)));
    }
    ASSERT_TRUE(becomes(pid, 105 + 123 + 16, 32));
    const XServer::Rect collapsed = *x.windowOf(pid);

    x.warpTo(collapsed.x - 10, 5);  // the margin: outside the window itself
    ASSERT_TRUE(eventually([&] { return sizeOf(pid).first == 524; }, kDeadline));
    int height = 0;
    ASSERT_TRUE(eventually([&] { return (height = sizeOf(pid).second) > 340; }, kDeadline));
    x.warpTo(1512 / 2 + 200, height - 5);
    std::this_thread::sleep_for(500ms);  // several 60 ms looks at the pointer
    EXPECT_EQ(sizeOf(pid).first, 524);
    x.warpTo(1512 / 2 + 262 + 22, 100);  // just beyond the right margin
    EXPECT_TRUE(eventually([&] { return sizeOf(pid).first < 524; }, kDeadline));
    app->kill(SIGTERM);
    EXPECT_EQ(app->wait(kDeadline).exitCode, 0);
}

// Stacking as the X server has it: a window opened later covers the island
// until a gate opens or the pointer expands it; then the island is on top.
TEST_F(DesktopAppTest, TheIslandComesBackOnTopWhenAGateOpensOrItExpands) {
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    x.warpTo(100, 600);
    auto app = startApp(x.display());
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(socket()); }, kDeadline));
    const int pid = app->pid();
    ASSERT_TRUE(eventually([&] { return !x.windowIdOf(pid).empty(); }, kDeadline));
    const std::string island = x.windowIdOf(pid);
    runChild(bridgeOptions(hookPayload("SessionStart", "s1")));

    std::string id;
    auto first = coverWindow(id);
    ASSERT_TRUE(above(id, island));
    auto waiting = ask("git push origin main");
    EXPECT_TRUE(eventually([&] { return above(island, id); }, kDeadline));
    auto allow = allowButton(pid);  // reachable: nothing covers it
    ASSERT_TRUE(allow);
    x.click(allow->center().x(), allow->center().y());
    EXPECT_EQ(claudeDecision(waiting->wait(kDeadline))["behavior"], "allow");
    x.warpTo(100, 600);
    ASSERT_TRUE(eventually([&] { return sizeOf(pid).first < 524; }, kDeadline));

    auto second = coverWindow(id);
    ASSERT_TRUE(above(id, island));
    x.warpTo(1512 / 2, 5);
    EXPECT_TRUE(
        eventually([&] { return sizeOf(pid).first == 524 && above(island, id); }, kDeadline));
    app->kill(SIGTERM);
    EXPECT_EQ(app->wait(kDeadline).exitCode, 0);
}

// Under a real window manager (openbox): the island hangs at the top centre,
// and while a gate waits it is above a window maximised after it, where a
// real click on Allow answers the bridge.
TEST_F(DesktopAppTest, UnderAWindowManagerAGateComesAboveAMaximisedWindow) {
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    if (::access("/usr/bin/openbox", X_OK) != 0) {
        GTEST_SKIP() << "openbox is not installed (scripts/install-deps.sh)";
    }
    home.write("openbox.xml", R"(<?xml version="1.0"?>
<openbox_config xmlns="http://openbox.org/3.4/rc"><applications>
  <application name="xmessage"><maximized>yes</maximized></application>
</applications></openbox_config>
)");
    ChildOptions wm;
    wm.args = {"/usr/bin/openbox", "--sm-disable", "--config-file", home.file("openbox.xml")};
    wm.env = {{"DISPLAY", x.display()}, {"HOME", home.path()}};
    RunningChild openbox(wm);
    ASSERT_TRUE(eventually(
        [&] {
            return x.run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).out.find("window id") !=
                   std::string::npos;
        },
        kDeadline));

    x.warpTo(100, 600);
    auto app = startApp(x.display());
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(socket()); }, kDeadline));
    const int pid = app->pid();
    auto collapsed = island(pid);
    ASSERT_TRUE(collapsed);
    EXPECT_EQ(collapsed->y, 0);
    EXPECT_EQ(collapsed->x + collapsed->width / 2, 1512 / 2);

    ChildOptions other;
    other.args = {"/usr/bin/xmessage", "maximised"};
    other.env = {{"DISPLAY", x.display()}};
    RunningChild maximised(other);
    ASSERT_TRUE(eventually(
        [&] {
            auto found = x.run({"xdotool", "search", "--onlyvisible", "--classname", "xmessage",
                                "getwindowgeometry", "--shell"});
            return found.out.find("WIDTH=15") != std::string::npos;  // 1500 and more
        },
        kDeadline));

    auto waiting = ask("git push origin main");
    auto allow = allowButton(pid);  // seen on the screen: nothing covers it
    ASSERT_TRUE(allow);
    // The pointer beside the rounded outline is over the window below (a
    // compositor runs: only the input region is cut), on Allow over ours.
    const auto windowAt = [&](int px, int py) {
        const std::string out = x.run({"xdotool", "mousemove", std::to_string(px),
                                       std::to_string(py), "getmouselocation", "--shell"})
                                    .out;
        const auto at = out.find("WINDOW=");
        return at == std::string::npos ? std::string()
                                       : out.substr(at + 7, out.find('\n', at) - at - 7);
    };
    const XServer::Rect open = *x.windowOf(pid);
    EXPECT_EQ(windowAt(allow->center().x(), allow->center().y()), x.windowIdOf(pid));
    EXPECT_NE(windowAt(open.x + 1, open.y + open.height - 2), x.windowIdOf(pid));
    x.click(allow->center().x(), allow->center().y());
    EXPECT_EQ(claudeDecision(waiting->wait(kDeadline))["behavior"], "allow");
    app->kill(SIGTERM);
    EXPECT_EQ(app->wait(kDeadline).exitCode, 0);
}

// Starting the app again opens the running one's settings window (the
// second start ends at once), and Ctrl+Q pressed there quits the whole app,
// as in other Linux apps (the island has no keyboard of its own).
TEST_F(DesktopAppTest, ASecondStartOpensSettingsWhereCtrlQQuitsTheApp) {
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    auto app = startApp(x.display());
    ASSERT_TRUE(island(app->pid()).has_value());
    const auto settingsWindow = [&] {
        auto found =
            x.run({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(app->pid())});
        std::istringstream ids(found.out);
        for (std::string id; ids >> id;) {
            auto shape = x.run({"xdotool", "getwindowgeometry", "--shell", id});
            if (shape.out.find("WIDTH=920") != std::string::npos) {
                return id;
            }
        }
        return std::string();
    };
    EXPECT_EQ(settingsWindow(), "");

    ChildOptions again;
    again.args = {VORLA_APP_PATH};
    again.env = {{"DISPLAY", x.display()},           {"HOME", home.path()},
                 {"QT_QPA_PLATFORM", std::nullopt},  {"WAYLAND_DISPLAY", std::nullopt},
                 {"XDG_SESSION_TYPE", std::nullopt}, {"VORLA_SETTINGS", std::nullopt}};
    auto second = runChild(again);
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_NE(second.err.find("already running: opened its settings"), std::string::npos)
        << second.err;
    std::string settings;
    ASSERT_TRUE(eventually([&] { return !(settings = settingsWindow()).empty(); }, kDeadline));

    (void)x.run({"xdotool", "windowfocus", "--sync", settings});
    (void)x.run({"xdotool", "key", "ctrl+q"});
    auto result = app->wait(kDeadline);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(std::filesystem::exists(socket()));
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
