#include "engine/look/cues.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>

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

// Noise is the only thing that varies, and only the approval cue hears it:
// the same noise gives the same sound, other noise another one of the same
// length.
TEST(Cues, OnlyNeedsApprovalHearsTheNoise) {
    const NoiseSource silence = [] { return 0.0f; };
    for (std::size_t i = 0; i < kCueCount; ++i) {
        const Cue cue = static_cast<Cue>(i);
        const CueBuffer quiet = renderCue(cue, silence);
        const CueBuffer noisy = renderCue(cue, randomNoise());
        EXPECT_EQ(renderCue(cue, silence), quiet) << "cue " << i;
        ASSERT_EQ(noisy.size(), quiet.size()) << "cue " << i;
        EXPECT_EQ(noisy != quiet, cue == Cue::needsApproval) << "cue " << i;
    }
}

}  // namespace
}  // namespace vorla
