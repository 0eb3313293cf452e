#include "engine/records/victory_lap.h"

#include <gtest/gtest.h>

namespace vorla {
namespace {

TEST(VictoryLapTest, SpriteHopsThreeTimesAndStopsAtTheRightEnd) {
    VictoryLap lap;
    EXPECT_DOUBLE_EQ(lap.progress(0.75), 0.5);
    EXPECT_DOUBLE_EQ(lap.progress(9), 1);
    auto start = lap.spritePosition(0);
    auto end = lap.spritePosition(lap.progress(2));
    EXPECT_DOUBLE_EQ(start.x, 0);
    EXPECT_NEAR(end.x, 442, 1e-9);
    EXPECT_NEAR(end.y, 0, 1e-9);
    EXPECT_NEAR(lap.spritePosition(1.0 / 6).y, -7, 1e-9);  // top of the first hop
}

TEST(VictoryLapTest, SparksTrailTheSpriteAndFade) {
    VictoryLap lap;
    EXPECT_TRUE(lap.visibleSparks(0, 30).empty());
    auto sparks = lap.visibleSparks(0.5, 30);
    // Launch points i/19 with 0 < 0.5 - i/19 < 0.3: i = 4 ... 9.
    ASSERT_EQ(sparks.size(), 6u);
    EXPECT_EQ(sparks.front().index, 4);
    EXPECT_EQ(sparks.back().index, 9);
    // The newest spark is brightest and sits at its launch point on the strip.
    EXPECT_GT(sparks.back().opacity, sparks.front().opacity);
    EXPECT_NEAR(sparks.back().origin.x, 442.0 * 9 / 19 + 11 - 3, 6.0);  // jitter in (-9, 3)
    EXPECT_EQ(sparks.back().colour, VictoryLap::SparkColour::green);    // 9 mod 3
    EXPECT_EQ(sparks[0].colour, VictoryLap::SparkColour::yellow);
    EXPECT_EQ(sparks[1].colour, VictoryLap::SparkColour::pink);
    lap.sparks = 1;  // one launch point cannot be spread over the lap
    EXPECT_TRUE(lap.visibleSparks(0.5, 30).empty());
}

}  // namespace
}  // namespace vorla
