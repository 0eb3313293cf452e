#include "engine/look/gate_card_look.h"

#include <gtest/gtest.h>

#include "engine/look/context_reading.h"

namespace vorla {
namespace {

// The card's line counts, Always-allow offer and boss pulse are checked on
// the drawn widget (ui look_test DetailBox, gate_card_test); here what it
// does not show directly.
TEST(GateCardLook, NoArgumentsTextTheUntaughtSessionAndThePulseTimer) {
    EXPECT_EQ(GateCardLook::detailText(""), "(no arguments)");
    EXPECT_FALSE(GateCardLook::offersAlwaysAllow(Risk::normal, false));
    EXPECT_NEAR(GateCardLook::untilNextPulse(10.2), 0.3, 1e-9);
}

TEST(ContextReading, WarnsPastEightyFivePercent) {
    const auto high = ContextReading::of({190000, 200000});
    EXPECT_EQ(high.text, "190k / 200k");
    EXPECT_TRUE(high.warn);  // the bar's segments: ui look_test ContextBar
    EXPECT_FALSE(ContextReading::of({50000, 200000}).warn);

    EXPECT_EQ(ContextReading::of({300000, 200000}).fraction, 1);
    EXPECT_EQ(ContextReading::of({5, 0}).fraction, 0);
    EXPECT_FALSE(ContextReading::of({5, 0}).warn);
    EXPECT_EQ(SegmentBar::filled(-1, 12), 0);
    EXPECT_EQ(SegmentBar::filled(0.5, 0), 0);
}

}  // namespace
}  // namespace vorla
