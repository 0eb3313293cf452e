#include "engine/look/pixel_sprite.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/look/creature.h"

namespace vorla {
namespace {

using PixelSprite::lit;

// The drawn dots of every sprite are checked against lit() in ui look_test.
TEST(Creature, EveryAgentAndKindHasTwoFrames) {
    EXPECT_EQ(PixelSprite::cache().size(), kAllSources.size() * kAllSpriteKinds.size());
    for (const auto& [key, frames] : PixelSprite::cache()) {
        EXPECT_EQ(frames.size(), 2u) << key;
    }
}

// A short row would silently draw a lopsided creature; two equal bodies
// would make two agents indistinguishable on the island.
TEST(Creature, BodiesAreFullWidthAndDistinct) {
    std::set<std::string> seen;
    for (Source agent : kAllSources) {
        const auto frames = Creature::body(agent);
        std::string joined;
        for (const auto& grid : frames) {
            for (const auto& row : grid) {
                EXPECT_EQ(row.size(), 16u) << rawValue(agent) << ": " << row;
                joined += row;
            }
        }
        EXPECT_TRUE(seen.insert(joined).second) << rawValue(agent);
    }
}

TEST(PixelSprite, FrameFollowsEachKindsRate) {
    // idle 1 fps: A at 0.4 s, B at 1.2 s; thinking 3 fps: B at 0.4 s.
    EXPECT_EQ(PixelSprite::frameIndex(SpriteKind::idle, 0.4), 0);
    EXPECT_EQ(PixelSprite::frameIndex(SpriteKind::idle, 1.2), 1);
    EXPECT_EQ(PixelSprite::frameIndex(SpriteKind::thinking, 0.4), 1);
    // The legs of claude frame B: column 1 of row 13 lit only in B.
    EXPECT_FALSE(lit(SpriteKind::idle, Source::claude, 1, 13, 0.4));
    EXPECT_TRUE(lit(SpriteKind::idle, Source::claude, 1, 13, 1.2));
}

TEST(PixelSprite, NextFrameChangeIsTheFirstInstantWithAnotherFrame) {
    for (SpriteKind kind : kAllSpriteKinds) {
        for (double t : {0.0, 0.39, 0.4, 1.0, 7.3, 786000000.123}) {
            const double next = PixelSprite::nextFrameChange(kind, t);
            EXPECT_GT(next, t);
            EXPECT_LE(next - t, 1 / PixelSprite::framesPerSecond(kind) + 1e-6);
            EXPECT_NE(PixelSprite::frameIndex(kind, next), PixelSprite::frameIndex(kind, t));
        }
    }
    EXPECT_DOUBLE_EQ(PixelSprite::nextFrameChange(SpriteKind::question, 0.1), 0.4);  // 2.5 fps
}

TEST(PixelSprite, PartialDotsAreDithered) {
    // crackedA's "+" dots at row 1, columns 2 and 12 have thresholds 14.5/16
    // and 12.5/16, above 0.62: off. A "+" at (0, 0) would be on.
    EXPECT_FALSE(lit(SpriteKind::error, Source::claude, 2, 1, 0));
    EXPECT_FALSE(lit(SpriteKind::error, Source::claude, 12, 1, 0));
    EXPECT_TRUE(PixelSprite::dotOn(0.62, 0, 0));
    int plus = 0;
    int dot = 0;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            plus += PixelSprite::dotOn(0.62, row, column) ? 1 : 0;
            dot += PixelSprite::dotOn(0.3, row, column) ? 1 : 0;
        }
    }
    EXPECT_EQ(plus, 10);
    EXPECT_EQ(dot, 5);
    EXPECT_FALSE(lit(SpriteKind::idle, Source::claude, 16, 4, 0));
    EXPECT_FALSE(lit(SpriteKind::idle, Source::claude, 5, -1, 0));
}

}  // namespace
}  // namespace vorla
