// A Clock that stands still until the test moves it. Tests only; not
// thread-safe beyond what the test itself arranges.
#pragma once

#include "engine/support/clock.h"

namespace vorla::test {

class ManualClock final : public Clock {
  public:
    explicit ManualClock(WallTime now = WallTime{}) : now_(now) {}

    [[nodiscard]] WallTime now() const override { return now_; }
    [[nodiscard]] SteadyTime steadyNow() const override {
        return SteadyTime{} + (now_ - WallTime{});
    }

    void set(WallTime now) { now_ = now; }
    // Any duration: seconds, milliseconds, ...
    void advance(WallTime::duration by) { now_ += by; }

  private:
    WallTime now_;
};

}  // namespace vorla::test
