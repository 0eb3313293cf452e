// Time sources behind an interface so that time-outs, pruning and animations
// can be tested without waiting. Implementations are safe from any thread.
#pragma once

#include <chrono>
#include <cstdint>

namespace vorla {

using WallTime = std::chrono::system_clock::time_point;
using SteadyTime = std::chrono::steady_clock::time_point;

class Clock {
  public:
    virtual ~Clock() = default;
    // Calendar time (for stored timestamps and day keys).
    [[nodiscard]] virtual WallTime now() const = 0;
    // Monotonic time (for time-outs and delays).
    [[nodiscard]] virtual SteadyTime steadyNow() const = 0;
};

class SystemClock final : public Clock {
  public:
    [[nodiscard]] WallTime now() const override { return std::chrono::system_clock::now(); }
    [[nodiscard]] SteadyTime steadyNow() const override { return std::chrono::steady_clock::now(); }

    // The process-wide instance (stateless, so sharing it is harmless).
    static SystemClock& shared();
};

// Seconds since 1970 with fraction, as used on the socket and in state.json.
[[nodiscard]] double toEpochSeconds(WallTime time);
// Seconds since another epoch, given as its offset from 1970 in whole seconds.
[[nodiscard]] double toEpochSeconds(WallTime time, std::int64_t epochOffsetSeconds);
[[nodiscard]] WallTime fromEpochSeconds(double seconds);

}  // namespace vorla
