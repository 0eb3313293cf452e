#include "engine/look/cues.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vorla {
namespace {

TEST(Cues, StayWithinFullScale) {
    auto all = renderAllCues();
    for (std::size_t i = 0; i < kCueCount; ++i) {
        ASSERT_FALSE(all[i].empty()) << "cue " << i;
        for (float sample : all[i]) {
            ASSERT_LE(std::abs(sample), 1.0f) << "cue " << i;
        }
    }
}

TEST(Cues, DeniedCrushesTheFirst64OfEvery256Samples) {
    CueBuffer denied = renderCue(Cue::denied, randomNoise());
    // Both oscillators are still high at samples 0 and 64.
    EXPECT_NEAR(denied[0], 0.42 * 0.25, 1e-6);
    EXPECT_NEAR(denied[64], 0.42 * std::exp(-9.0 * 64 / kCueSampleRate), 1e-6);
}

TEST(Cues, NeedsApprovalDiffersBetweenRenderingsOnlyInItsNoise) {
    CueBuffer square = renderCue(Cue::needsApproval, [] { return 0.0f; });
    CueBuffer first = renderCue(Cue::needsApproval, randomNoise());
    CueBuffer second = renderCue(Cue::needsApproval, randomNoise());
    ASSERT_EQ(first.size(), square.size());
    ASSERT_EQ(second.size(), square.size());
    EXPECT_NE(first, second);
    for (std::size_t i = 0; i < square.size(); ++i) {
        int n = static_cast<int>(i % 4850);  // index within burst + gap
        double t = n / kCueSampleRate;
        double noiseReach = n < 3307 ? 0.35 * std::exp(-112.0 * t) + 1e-6 : 0.0;
        ASSERT_LE(std::abs(first[i] - square[i]), noiseReach) << i;
        ASSERT_LE(std::abs(second[i] - square[i]), noiseReach) << i;
    }
}

}  // namespace
}  // namespace vorla
