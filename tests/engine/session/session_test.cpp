#include "engine/session/session.h"

#include <gtest/gtest.h>

#include "support/manual_clock.h"

namespace vorla {
namespace {

using namespace std::chrono_literals;

TEST(Session, ElapsedTruncatesToWholeSecondsAndHasNoHourUnit) {
    test::ManualClock clock;
    Session session("s", Source::codex, "~", clock);
    EXPECT_EQ(session.elapsed(), "0s");
    clock.advance(59900ms);
    EXPECT_EQ(session.elapsed(), "59s");
    clock.advance(100ms);
    EXPECT_EQ(session.elapsed(), "1m 0s");
    clock.advance(3600s - 60s);
    EXPECT_EQ(session.elapsed(), "60m 0s");
    clock.advance(-2h);  // the clock was set back
    EXPECT_EQ(session.elapsed(), "0s");
}

TEST(Session, NotifiesOnlyWhenAnObservableFieldReallyChanges) {
    test::ManualClock clock;
    Session session("s", Source::claude, "/a", clock);
    int changes = 0;
    auto subscription = session.subscribe([&] { ++changes; });
    session.setCwd("/a");
    session.setState(SpriteKind::idle);
    session.setActivity("");
    session.setContext(std::nullopt);
    EXPECT_EQ(changes, 0);
    session.setCwd("/b");
    session.setState(SpriteKind::shell);
    session.setToolCount(3);
    session.setContext(ContextUsage{10, 200});
    session.setContext(ContextUsage{10, 200});
    EXPECT_EQ(changes, 4);
    subscription.reset();
    session.setActivity("x");
    EXPECT_EQ(changes, 4);
}

}  // namespace
}  // namespace vorla
