#include "engine/look/island_view_state.h"

#include <gtest/gtest.h>

namespace vorla {
namespace {

// The view reports its height from every refresh and refreshes on every
// change: an equal value that fired would loop for ever.
TEST(IslandViewState, NotifiesObserversOnRealChangesOnly) {
    IslandViewState state;
    int changes = 0;
    auto subscription = state.subscribe([&] { ++changes; });
    state.setHovering(false);
    state.setMeasuredHeight(0);
    EXPECT_EQ(changes, 0);
    state.setHovering(true);
    state.setMeasuredHeight(42.5);
    state.setMeasuredHeight(42.5);
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(state.hovering());
    EXPECT_EQ(state.measuredHeight(), 42.5);
}

}  // namespace
}  // namespace vorla
