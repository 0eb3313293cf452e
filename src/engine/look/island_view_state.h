// What the island knows about itself rather than about the agents: whether
// the pointer is over it and how tall its open panel last measured. The
// island writes both and, with its view, observes them beside the session
// store, so the island is laid out again when either changes.
//
// Main thread only; owned by the island (ui::Island). subscribe() fires
// synchronously after a real change (setting an equal value does not fire:
// the view reports its height from every refresh, and an equal report must
// not start another).
#pragma once

#include <functional>
#include <utility>

#include "engine/support/observable.h"

namespace vorla {

class IslandViewState {
  public:
    [[nodiscard]] bool hovering() const { return hovering_; }
    void setHovering(bool hovering);
    // The expanded panel's content height in points; 0 until first measured.
    [[nodiscard]] double measuredHeight() const { return measuredHeight_; }
    void setMeasuredHeight(double height);

    [[nodiscard]] Subscription subscribe(std::function<void()> onChange) {
        return changed_.subscribe(std::move(onChange));
    }

  private:
    bool hovering_ = false;
    double measuredHeight_ = 0;
    ChangeNotifier changed_;
};

}  // namespace vorla
