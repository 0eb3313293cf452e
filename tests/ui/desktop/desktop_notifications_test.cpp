// The notifier through the real D-Bus client, against a recording fake
// notification service on the private session bus the ctest command starts.
#include "ui/desktop/desktop_notifications.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <thread>

#include "e2e/e2e_support.h"
#include "support/child_process.h"
#include "support/manual_clock.h"
#include "support/scoped_env.h"
#include "support/temp_home.h"

namespace vorla::ui {
namespace {

using namespace std::chrono_literals;

class DesktopNotificationsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Never the desktop's own bus: the ctest command starts a private one.
        const char* privateBus = std::getenv("VORLA_PRIVATE_BUS");
        if (privateBus == nullptr || std::string_view(privateBus) != "1") {
            GTEST_SKIP() << "needs the private session bus of the ctest command";
        }
    }

    // False (and the test skipped) when a real service already owns the name.
    // `extra`: the fake's capabilities and the action it clicks.
    bool startService(const std::vector<std::string>& extra = {}) {
        service_.reset();
        std::filesystem::remove(records_ + ".ready");
        test::ChildOptions options;
        options.args = {"/usr/bin/python3",
                        VORLA_SOURCE_DIR "/tests/ui/desktop/fake_notifications.py", records_};
        options.args.insert(options.args.end(), extra.begin(), extra.end());
        service_ = std::make_unique<test::RunningChild>(options);
        bool started = test::eventually([&] {
            return std::filesystem::exists(records_ + ".ready") ||
                   std::filesystem::exists(records_ + ".taken");
        });
        EXPECT_TRUE(started) << "the fake notification service did not start";
        return started && std::filesystem::exists(records_ + ".ready");
    }

    std::vector<std::string> recorded() const {
        std::ifstream in(records_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    // Waits for the authorisation answer to reach the main thread: the one
    // task it posts there.
    void authorize() {
        notifier_.requestAuth();
        ASSERT_TRUE(test::eventually([&] { return queue_.runPending() > 0; }));
    }

    std::shared_ptr<Session> addSession(const std::string& id, Source source, std::string cwd) {
        auto session = std::make_shared<Session>(id, source, std::move(cwd), clock_);
        sessions_.push_back(session);
        return session;
    }

    test::TempHome home_;
    std::string records_ = home_.file("notifications.jsonl");
    std::unique_ptr<test::RunningChild> service_;
    test::ManualClock clock_;
    LoopMainQueue queue_;
    DesktopNotifications* poster_ = nullptr;
    Notifier notifier_{queue_, [this] {
                           auto poster = std::make_unique<DesktopNotifications>();
                           poster_ = poster.get();
                           return poster;
                       }()};
    std::vector<std::shared_ptr<Session>> sessions_;
};

TEST_F(DesktopNotificationsTest, PostsTheTransitionsThatMatterWithNameAndIcon) {
    if (!startService()) {
        GTEST_SKIP() << "another notification service owns the name on this bus";
    }
    authorize();
    ASSERT_TRUE(notifier_.authorized());

    auto a = addSession("a", Source::claude, "/w/app");
    auto b = addSession("b", Source::codex, "/w/api");
    a->setState(SpriteKind::needsApproval);
    b->setState(SpriteKind::shell);
    notifier_.observe(sessions_, true);  // seeds only, though a waits
    a->setState(SpriteKind::question);
    a->setActivity("Which branch?");
    b->setState(SpriteKind::done);
    auto c = addSession("c", Source::grok, "/w/new");
    c->setState(SpriteKind::needsApproval);  // first seen waiting: nothing
    notifier_.observe(sessions_, true);
    a->setState(SpriteKind::thinking);
    notifier_.observe(sessions_, false);  // off: followed, not posted
    a->setState(SpriteKind::needsApproval);
    notifier_.observe(sessions_, false);
    notifier_.observe(sessions_, true);
    notifier_.notifyAchievement({"night-owl", "Night Owl", "Approve a tool call before 5 am", {}},
                                true);
    poster_->post("end", "");  // the worker keeps order: once this is in, all is

    ASSERT_TRUE(test::eventually([&] { return recorded().size() >= 4; }));
    const std::string icon = R"("image": [64, 64, 16384], "suppressSound": true})";
    EXPECT_EQ(
        recorded(),
        (std::vector<std::string>{
            R"({"app": "Vorla Agents", "summary": "Claude Code needs you", "body": "Which branch? · app", )" +
                icon,
            R"({"app": "Vorla Agents", "summary": "Codex finished", "body": "api", )" + icon,
            R"({"app": "Vorla Agents", "summary": "🏆 Night Owl", "body": "Approve a tool call before 5 am", )" +
                icon,
            R"({"app": "Vorla Agents", "summary": "end", "body": "", )" + icon,
        }));
}

// A gate's "needs you": plain text saying where to answer when the service
// shows no buttons; Allow and Deny that answer the gate where it does, with
// the agent's text escaped for a service that reads markup.
TEST_F(DesktopNotificationsTest, GateNotificationsAnswerTheGateWhereTheServiceShowsButtons) {
    std::vector<std::pair<std::string, Behavior>> answers;
    auto pumpUntil = [](const std::function<bool()>& done) {
        return test::eventually([&] {
            QCoreApplication::processEvents();
            return done();
        });
    };
    for (const bool buttons : {false, true}) {
        const bool started =
            buttons ? startService({"body,actions,body-markup", "deny"}) : startService();
        if (!started) {
            GTEST_SKIP() << "another notification service owns the name on this bus";
        }
        DesktopNotifications poster;
        poster.answerGatesWith(
            {.answer = [&](const std::string& gate,
                           Behavior behavior) { answers.emplace_back(gate, behavior); },
             .open = [] {}});
        std::atomic<int> granted = 0;
        poster.requestAuth([&](bool yes) { granted = yes ? 1 : -1; });
        ASSERT_TRUE(pumpUntil([&] { return granted != 0; }));
        poster.postGate("Claude Code needs you", "rm <b>x</b> · app", "gate-7");
        ASSERT_TRUE(pumpUntil([&] { return recorded().size() == (buttons ? 2U : 1U); }));
        if (buttons) {  // the fake clicks Deny a moment after showing it
            ASSERT_TRUE(pumpUntil([&] { return !answers.empty(); }));
        }
    }
    EXPECT_EQ(answers, (std::vector<std::pair<std::string, Behavior>>{{"gate-7", Behavior::deny}}));

    const auto lines = recorded();
    const auto plain = nlohmann::json::parse(lines[0]);
    EXPECT_EQ(plain["body"], "rm <b>x</b> · app\nAnswer on the island at the top of the screen.");
    EXPECT_FALSE(plain.contains("actions"));
    const auto gate = nlohmann::json::parse(lines[1]);
    EXPECT_EQ(gate["body"], "rm &lt;b&gt;x&lt;/b&gt; · app");
    EXPECT_EQ(gate["actions"],
              nlohmann::json({"default", "Show", "allow", "Allow", "deny", "Deny"}));
    EXPECT_EQ(gate["urgency"], 2);
    EXPECT_EQ(gate["resident"], true);
    EXPECT_EQ(gate["desktopEntry"], "vorla-agents");
}

TEST_F(DesktopNotificationsTest, WithoutAServiceOrABusNothingIsAllowedAndNothingWaits) {
    authorize();
    EXPECT_FALSE(notifier_.authorized());

    test::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    DesktopNotifications offline;
    std::atomic<int> refused = 0;
    offline.requestAuth([&](bool granted) { refused += granted ? 0 : 1; });
    offline.post("lost", "nowhere to go");
    EXPECT_TRUE(test::eventually([&] { return refused == 1; }));
}

// The headless app on the same bus: a session seen working, then finished.
TEST_F(DesktopNotificationsTest, HeadlessPostsThemWhenTheSettingIsOn) {
    if (!startService()) {
        GTEST_SKIP() << "another notification service owns the name on this bus";
    }
    home_.write(".vorla-agents/data/prefs.json", R"({"notifyEnabled":true})");
    auto app = test::startApp(home_, {"--headless"});

    // The notifier looks at the sessions on the 2-second refresh, which also
    // reads transcript tails: once s1's context reading shows, a refresh has
    // seen s1 working.
    home_.write("t.jsonl", R"({"type":"assistant","message":{"usage":{"input_tokens":9}}})"
                           "\n");
    auto start = test::hookPayload("SessionStart", "s1",
                                   {{"cwd", "/w/app"}, {"transcript_path", home_.file("t.jsonl")}});
    ASSERT_EQ(test::runChild(test::bridgeOptions(start)).exitCode, 0);
    ASSERT_TRUE(test::eventually([&] {
        test::ChildOptions status;
        status.args = {VORLA_APP_PATH, "status", "--json"};
        auto live = nlohmann::json::parse(test::runChild(status).out, nullptr, false);
        return !live.is_discarded() && !live["sessions"].empty() &&
               live["sessions"][0].contains("contextUsed");
    }));

    ASSERT_EQ(
        test::runChild(test::bridgeOptions(test::hookPayload("Stop", "s1", {{"cwd", "/w/app"}})))
            .exitCode,
        0);
    EXPECT_TRUE(test::eventually([&] {
        auto lines = recorded();
        return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find(R"("summary": "Claude Code finished", "body": "app")") !=
                   std::string::npos;
        });
    }));
    app->kill(SIGTERM);
    EXPECT_EQ(app->wait().exitCode, 0);
}

}  // namespace
}  // namespace vorla::ui
