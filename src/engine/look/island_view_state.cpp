#include "engine/look/island_view_state.h"

namespace vorla {

void IslandViewState::setHovering(bool hovering) {
    if (assignIfChanged(hovering_, hovering)) {
        changed_.notify();
    }
}

void IslandViewState::setMeasuredHeight(double height) {
    if (assignIfChanged(measuredHeight_, height)) {
        changed_.notify();
    }
}

}  // namespace vorla
