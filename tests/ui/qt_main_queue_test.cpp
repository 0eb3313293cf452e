#include "ui/qt_main_queue.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <thread>
#include <vector>

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
    QTRY_COMPARE_WITH_TIMEOUT(ran.size(), std::size_t{3}, 2000);
    QTest::qWait(20);
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace vorla::ui
