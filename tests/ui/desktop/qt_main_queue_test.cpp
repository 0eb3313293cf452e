#include "ui/desktop/qt_main_queue.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <thread>
#include <vector>

#include "ui/settings_fixture.h"  // waitFor

namespace vorla::ui {
namespace {

TEST(QtMainQueueTest, RunsPostsInOrderAndSkipsCancelledTimers) {
    QtMainQueue queue;
    std::vector<int> ran;
    std::thread worker([&] {
        queue.post([&] { ran.push_back(1); });
        queue.post([&] { ran.push_back(2); });
    });
    worker.join();
    TimerHandle cancelled =
        queue.postAfter(std::chrono::milliseconds(5), [&] { ran.push_back(9); });
    cancelled.cancel();
    queue.postAfter(std::chrono::milliseconds(10), [&] { ran.push_back(3); });
    ASSERT_TRUE(test::waitFor([&] { return ran.size() >= 3; }, 2000));
    // A cancelled timer that ran anyway would have come before the 10 ms one.
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace vorla::ui
