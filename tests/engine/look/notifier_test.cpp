#include "engine/look/notifier.h"

#include <gtest/gtest.h>

#include "support/manual_clock.h"

namespace vorla {
namespace {

struct Post {
    std::string title;
    std::string body;
    friend bool operator==(const Post&, const Post&) = default;
};
using Posts = std::vector<Post>;

// What the fake service saw: the posts, and the authorisation answer it holds
// until the test gives it.
struct FakeService {
    Posts posts;
    std::function<void(bool)> pendingAnswer;
    int authRequests = 0;
};

class FakePoster final : public NotificationPoster {
  public:
    explicit FakePoster(FakeService& service) : service_(service) {}
    void requestAuth(std::function<void(bool)> answer) override {
        ++service_.authRequests;
        service_.pendingAnswer = std::move(answer);
    }
    void post(std::string title, std::string body) override {
        service_.posts.push_back({std::move(title), std::move(body)});
    }

  private:
    FakeService& service_;
};

class NotifierTest : public ::testing::Test {
  protected:
    NotifierTest() : notifier_(queue_, std::make_unique<FakePoster>(service_)) {}

    std::shared_ptr<Session> addSession(const std::string& id, Source source, std::string cwd) {
        auto session = std::make_shared<Session>(id, source, std::move(cwd), clock_);
        sessions_.push_back(session);
        return session;
    }
    void observe(bool enabled = true) { notifier_.observe(sessions_, enabled); }
    void authorize(bool granted) {
        notifier_.requestAuth();
        ASSERT_TRUE(service_.pendingAnswer);
        service_.pendingAnswer(granted);
        queue_.runPending();  // the answer is stored on the main thread
    }

    test::ManualClock clock_;
    LoopMainQueue queue_{clock_};
    FakeService service_;
    std::vector<std::shared_ptr<Session>> sessions_;
    Notifier notifier_;
};

// Switching notifications off and on, and achievements posted, run through
// the real D-Bus client in ui desktop_notifications_test.
TEST_F(NotifierTest, PostsWhenASessionStartsWaitingOrFinishes) {
    authorize(true);
    auto a = addSession("a", Source::claude, "/w/app");
    auto b = addSession("b", Source::codex, "/w/api/");
    a->setState(SpriteKind::thinking);
    b->setState(SpriteKind::shell);
    observe();  // seeds only
    a->setState(SpriteKind::needsApproval);
    a->setActivity("Waiting on you");
    b->setState(SpriteKind::done);
    observe();
    a->setState(SpriteKind::question);  // another waiting state: posts again
    observe();
    a->setState(SpriteKind::thinking);  // back to work: nothing
    observe();
    notifier_.notifyAchievement({"night-owl", "Night Owl", "", {}}, false);  // switched off
    EXPECT_EQ(service_.posts, (Posts{{"Claude Code needs you", "Waiting on you · app"},
                                     {"Codex finished", "api"},
                                     {"Claude Code needs you", "Waiting on you · app"}}));
}

TEST_F(NotifierTest, TheFirstSightOfAStateIsNotAnnounced) {
    authorize(true);
    auto a = addSession("a", Source::claude, "/w/app");
    a->setState(SpriteKind::needsApproval);
    observe();  // seeding: already waiting
    auto b = addSession("b", Source::grok, "/w/new");
    b->setState(SpriteKind::needsApproval);
    observe();  // b first seen waiting
    EXPECT_TRUE(service_.posts.empty());
    b->setState(SpriteKind::done);       // its next change is
    sessions_.erase(sessions_.begin());  // a pruned: nothing
    observe();
    EXPECT_EQ(service_.posts, (Posts{{"Grok Build finished", "new"}}));
}

TEST_F(NotifierTest, PostsNothingUntilAuthorisedAndAsksOnlyOnce) {
    auto a = addSession("a", Source::claude, "/w/app");
    observe(false);
    EXPECT_EQ(service_.authRequests, 0);
    a->setState(SpriteKind::needsApproval);
    observe(true);  // switched on while running: asks now
    ASSERT_EQ(service_.authRequests, 1);
    a->setState(SpriteKind::done);
    observe(true);  // not answered yet
    notifier_.notifyAchievement({"first-blood", "First Blood", "Approve a tool call", {}}, true);
    service_.pendingAnswer(false);
    queue_.runPending();
    a->setState(SpriteKind::question);
    observe(true);
    EXPECT_EQ(service_.authRequests, 1);
    EXPECT_TRUE(service_.posts.empty());
}

TEST(NotifierLifetime, AnAnswerArrivingAfterTheNotifierIsGoneIsDropped) {
    test::ManualClock clock;
    LoopMainQueue queue(clock);
    FakeService service;
    {
        Notifier notifier(queue, std::make_unique<FakePoster>(service));
        notifier.requestAuth();
    }
    service.pendingAnswer(true);
    EXPECT_EQ(queue.runPending(), 1u);
}

}  // namespace
}  // namespace vorla
