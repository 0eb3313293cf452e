// The island drawn offscreen: its outline's alpha and the window's size for
// the sessions it shows.
#include "ui/island/island.h"

#include <gtest/gtest.h>

#include <QTest>

#include "support/temp_home.h"
#include "ui/qt_main_queue.h"

namespace vorla::test {
namespace {

class IslandTest : public ::testing::Test {
  protected:
    void start(const std::string& id, const std::string& activity = {}) {
        Event event;
        event.id = id;
        event.source = Source::claude;
        event.event = Canonical::sessionStart;
        event.sessionID = id;
        event.cwd = "/work/" + id;
        store.apply(event);
        if (!activity.empty()) {
            store.sessions().back()->setActivity(activity);
        }
    }

    // The window's size once the view has reported its height.
    QSize laidOut() {
        QTest::qWait(0);
        island.resize();
        return island.window().geometry().size();
    }

    QImage drawn() {
        island.view().resize(island.window().size());
        QImage image = island.view().grab().toImage();
        return image;
    }

    TempHome home;
    ui::QtMainQueue queue;
    SessionStore store{queue, SystemClock::shared()};
    ui::Island island{store, NotchGeometry::noNotch(), {}};
};

TEST_F(IslandTest, EarsGrowWithSessionsAndTheFirstActivity) {
    EXPECT_EQ(laidOut(), QSize(108, 32));  // two empty 46-point ears and the margin
    start("a", "ab");
    EXPECT_EQ(laidOut(), QSize(46 + 46 + 16, 32));
    for (auto id : {"b", "c", "d", "e"}) {
        start(id);
    }
    EXPECT_EQ(laidOut(), QSize(105 + 46 + 16, 32));  // four sprites at most
    store.sessions().front()->setActivity(std::string(30, 'x'));
    EXPECT_EQ(laidOut(), QSize(105 + 150 + 16, 32));
}

TEST_F(IslandTest, TheOutlineIsOpaqueInsideAndClearAtShouldersAndCorners) {
    island.resize();
    QImage collapsed = drawn();
    ASSERT_EQ(collapsed.size(), QSize(108, 32));
    EXPECT_EQ(qAlpha(collapsed.pixel(54, 16)), 255);  // body
    EXPECT_EQ(qAlpha(collapsed.pixel(54, 0)), 255);   // top edge runs full width
    EXPECT_EQ(qAlpha(collapsed.pixel(1, 6)), 0);      // concave shoulder
    EXPECT_EQ(qAlpha(collapsed.pixel(106, 6)), 0);
    EXPECT_EQ(qAlpha(collapsed.pixel(9, 31)), 0);  // rounded bottom corners
    EXPECT_EQ(qAlpha(collapsed.pixel(98, 31)), 0);

    store.setHovering(true);
    QSize open = laidOut();
    EXPECT_EQ(open.width(), 524);
    QImage expanded = drawn();
    const int h = expanded.height();
    EXPECT_EQ(qAlpha(expanded.pixel(262, h / 2)), 255);
    EXPECT_EQ(qAlpha(expanded.pixel(2, 10)), 0);
    EXPECT_EQ(qAlpha(expanded.pixel(521, 10)), 0);
    EXPECT_EQ(qAlpha(expanded.pixel(14, h - 1)), 0);
    EXPECT_EQ(qAlpha(expanded.pixel(509, h - 1)), 0);
}

}  // namespace
}  // namespace vorla::test
