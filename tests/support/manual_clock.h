// A Clock that stands still until the test moves it. Tests only; safe from
// any thread, as every Clock is (background work reads it while a test moves it).
#pragma once

#include <atomic>

#include "engine/support/clock.h"

namespace vorla::test {

class ManualClock final : public Clock {
  public:
    explicit ManualClock(WallTime now = WallTime{}) : now_(now) {}

    [[nodiscard]] WallTime now() const override { return now_.load(); }
    [[nodiscard]] SteadyTime steadyNow() const override {
        return SteadyTime{} + (now_.load() - WallTime{});
    }

    void set(WallTime now) { now_.store(now); }
    // Any duration: seconds, milliseconds, ...
    void advance(WallTime::duration by) { now_.store(now_.load() + by); }

  private:
    std::atomic<WallTime> now_;
};

}  // namespace vorla::test
