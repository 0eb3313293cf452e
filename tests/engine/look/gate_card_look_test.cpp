#include "engine/look/gate_card_look.h"

#include <gtest/gtest.h>

#include "engine/look/context_reading.h"

namespace vorla {
namespace {

TEST(GateCardLook, DetailBoxKeepsOneToFourLines) {
    EXPECT_EQ(GateCardLook::detailText(""), "(no arguments)");
    EXPECT_EQ(GateCardLook::detailText("ls -la"), "ls -la");
    EXPECT_EQ(GateCardLook::lineHeight(12.1, 3.2, 0.4), 16);
    EXPECT_EQ(GateCardLook::detailBoxHeight(16, 0), 16 + 24);
    EXPECT_EQ(GateCardLook::detailBoxHeight(16, 3), 3 * 16 + 24);
    EXPECT_EQ(GateCardLook::detailBoxHeight(16, 9), 4 * 16 + 24);
}

TEST(GateCardLook, OnlyLowRiskCanBeTaughtAndBossPulsesEveryHalfSecond) {
    EXPECT_TRUE(GateCardLook::offersAlwaysAllow(Risk::trivial, true));
    EXPECT_TRUE(GateCardLook::offersAlwaysAllow(Risk::normal, true));
    EXPECT_FALSE(GateCardLook::offersAlwaysAllow(Risk::normal, false));
    EXPECT_FALSE(GateCardLook::offersAlwaysAllow(Risk::elevated, true));
    EXPECT_FALSE(GateCardLook::offersAlwaysAllow(Risk::critical, true));
    EXPECT_EQ(GateCardLook::alwaysAllowLabel("Bash: git status"),
              "Always allow \"Bash: git status\"");
    EXPECT_EQ(GateCardLook::riskTint(Risk::critical), Accent::pink);
    EXPECT_EQ(GateCardLook::riskTint(Risk::elevated), Accent::yellow);

    EXPECT_EQ(GateCardLook::bossPulse(10.2).fillOpacity, 0.22);  // phase 20
    EXPECT_EQ(GateCardLook::bossPulse(10.7).fillOpacity, 0.12);  // phase 21
    EXPECT_EQ(GateCardLook::bossPulse(10.7).outlineOpacity, 0.35);
    EXPECT_NEAR(GateCardLook::untilNextPulse(10.2), 0.3, 1e-9);
}

TEST(ContextReading, WarnsPastEightyFivePercent) {
    const auto high = ContextReading::of({190000, 200000});
    EXPECT_EQ(high.text, "190k / 200k");
    EXPECT_TRUE(high.warn);
    EXPECT_EQ(SegmentBar::filled(high.fraction, 12), 11);

    const auto low = ContextReading::of({50000, 200000});
    EXPECT_FALSE(low.warn);
    EXPECT_EQ(SegmentBar::filled(low.fraction, 12), 3);

    EXPECT_EQ(ContextReading::of({300000, 200000}).fraction, 1);
    EXPECT_EQ(ContextReading::of({5, 0}).fraction, 0);
    EXPECT_FALSE(ContextReading::of({5, 0}).warn);
    EXPECT_EQ(SegmentBar::filled(-1, 12), 0);
    EXPECT_EQ(SegmentBar::filled(0.5, 0), 0);
}

}  // namespace
}  // namespace vorla
