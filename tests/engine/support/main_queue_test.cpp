#include "engine/support/main_queue.h"

#include <gtest/gtest.h>

#include <string>

namespace vorla {
namespace {

// The app quits on SIGTERM while events wait in the queue, then drains it.
TEST(LoopMainQueue, TasksNotRunWhenQuitArrivesStayForTheDrain) {
    LoopMainQueue queue;
    std::string ran;
    queue.post([&] {
        ran += 'a';
        queue.quit();
    });
    queue.post([&] { ran += 'b'; });
    queue.post([&] {
        ran += 'c';
        queue.post([&] { ran += 'd'; });
    });
    queue.run();
    EXPECT_EQ(ran, "a");
    EXPECT_EQ(queue.runPending(), 3u);
    EXPECT_EQ(ran, "abcd");
}

}  // namespace
}  // namespace vorla
