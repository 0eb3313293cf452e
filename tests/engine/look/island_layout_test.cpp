#include "engine/look/island_layout.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/look/island_shape.h"

namespace vorla {
namespace {

using namespace IslandLayout;

const NotchGeometry kNoNotch = NotchGeometry::noNotch();
const LookRect kScreen{0, 0, 1512, 982};

// The ears' widths for sessions and activity, capped, are read off the laid
// out island in ui island_test; here only what it does not show.
TEST(IslandLayout, TheActivityEarCountsCharactersNotBytes) {
    EXPECT_DOUBLE_EQ(rightEar("\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9"), 6 * 6.6 + 24);
}

TEST(IslandLayout, CollapsedWithoutNotchIs108By32AndSitsOnTheScreensCentre) {
    const Frame frame = frameFor(Inputs{}, kNoNotch);
    EXPECT_EQ(frame, (Frame{108, 32, 54}));
    const LookRect window = windowRect(frame, kNoNotch, kScreen);
    EXPECT_EQ(window, (LookRect{756 - 54, 0, 108, 32}));

    // A notch sits where the notch leading says.
    const NotchGeometry notch{true, 200, 38};
    const Frame withNotch = frameFor(Inputs{}, notch);
    EXPECT_EQ(withNotch, (Frame{46 + 46 + 200 + 16, 38, 54}));
    EXPECT_EQ(windowRect(withNotch, notch, kScreen).x, 756 - 100 - 54);
}

TEST(IslandLayout, GateHoverOrCelebrationExpandsToThePanelCappedAtTheScreen) {
    Inputs gate{.gateOpen = true};
    EXPECT_EQ(frameFor(gate, kNoNotch), (Frame{524, 72, std::nullopt}));
    EXPECT_EQ(windowRect(frameFor(gate, kNoNotch), kNoNotch, kScreen).x, 756 - 262);
    gate.measuredHeight = 400;
    EXPECT_EQ(frameFor(gate, kNoNotch).height, 400);
    gate.maxHeight = 300;
    EXPECT_EQ(frameFor(gate, kNoNotch).height, 300);

    EXPECT_EQ(mode(false, true, false), Mode::expanded);
    EXPECT_EQ(mode(false, false, true), Mode::lapping);
    EXPECT_EQ(mode(true, false, true), Mode::expanded);
    EXPECT_EQ(mode(false, false, false), Mode::collapsed);
    // A lap has its own height, whatever the panel measured last.
    EXPECT_EQ(frameFor(Inputs{.celebrating = true, .measuredHeight = 400}, kNoNotch),
              (Frame{524, 72, std::nullopt}));
}

TEST(IslandLayout, HoverAreaCollapsedAndOpen) {
    // Collapsed, one session, empty activity: x from 756 - 46 - 20.
    const LookRect collapsed = hoverRect(Inputs{.sessions = 1}, kNoNotch, kScreen);
    EXPECT_EQ(collapsed, (LookRect{690, 0, 132, 38}));
    EXPECT_TRUE(collapsed.contains(690, 0));
    EXPECT_FALSE(collapsed.contains(689.5, 10));
    EXPECT_FALSE(collapsed.contains(700, 38));
    // Open: the whole panel, however tall, and 20 beside and 6 below it.
    const Inputs tall{.hovering = true, .sessions = 4, .measuredHeight = 422};
    EXPECT_EQ(hoverRect(tall, kNoNotch, kScreen), (LookRect{756 - 282, 0, 564, 428}));
    EXPECT_EQ(hoverRect(Inputs{.gateOpen = true, .measuredHeight = 267}, kNoNotch, kScreen).height,
              273);
}

TEST(IslandSizer, LaysOutOnlyOnRealChanges) {
    IslandSizer sizer;
    const Frame collapsed{108, 32, 54};
    EXPECT_EQ(sizer.resize(collapsed), collapsed);
    EXPECT_EQ(sizer.resize(collapsed), std::nullopt);
    const Frame expanded{524, 72, std::nullopt};
    EXPECT_EQ(sizer.resize(expanded), expanded);
    EXPECT_EQ(sizer.resize(Frame{524, 72, 0}), (Frame{524, 72, 0}));  // leading appears
    sizer.reset();
    EXPECT_EQ(sizer.resize(Frame{524, 72, 0}), (Frame{524, 72, 0}));
}

// The radii show in the outline: ui look_test IslandPath.
TEST(IslandShape, OutlineIsClosedAndEachPieceStartsWhereTheLastEnded) {
    const LookRect rect{10, 0, 524, 200};
    const auto outline = IslandShape{0, 32, true}.path(rect);
    ASSERT_EQ(outline.elements.size(), 9u);
    EXPECT_EQ(outline.elements.front().to, (IslandShape::Point{10, 0}));
    for (std::size_t i = 1; i + 1 < outline.elements.size(); ++i) {
        const auto& element = outline.elements[i];
        const auto previous = outline.elements[i - 1].end();
        if (element.type == IslandShape::Element::Type::arc) {
            const double start = element.startAngle * 3.14159265358979323846 / 180;
            EXPECT_NEAR(element.centre.x + element.radius * std::cos(start), previous.x, 1e-9) << i;
            EXPECT_NEAR(element.centre.y + element.radius * std::sin(start), previous.y, 1e-9) << i;
        }
    }
    const auto last = outline.elements[outline.elements.size() - 2].end();
    EXPECT_NEAR(last.x, 534, 1e-9);
    EXPECT_NEAR(last.y, 0, 1e-9);
    EXPECT_EQ(outline.elements[4].to, (IslandShape::Point{534 - 12 - 22, 200}));  // bottom edge
}

}  // namespace
}  // namespace vorla
