#include "engine/support/clock.h"

#include <algorithm>
#include <cmath>

namespace vorla {

SystemClock& SystemClock::shared() {
    static SystemClock clock;
    return clock;
}

// Whole seconds and the fraction are converted apart: a double holds a
// 1970-based time only to about 0.2 microseconds, so going through one
// nanosecond count would turn 1764000000.25 into 1764000000.2499998.
double toEpochSeconds(WallTime time) {
    return toEpochSeconds(time, 0);
}

double toEpochSeconds(WallTime time, std::int64_t epochOffsetSeconds) {
    auto whole = std::chrono::floor<std::chrono::seconds>(time);
    std::chrono::duration<double> fraction = time - whole;
    return static_cast<double>(whole.time_since_epoch().count() - epochOffsetSeconds) +
           fraction.count();
}

WallTime fromEpochSeconds(double seconds) {
    // Stored files may hold any number: WallTime counts nanoseconds in 64
    // bits, so seconds are clamped to about 1678-2261 and NaN reads as 1970.
    constexpr double kLimit = 9.2e9;
    seconds = std::isnan(seconds) ? 0.0 : std::clamp(seconds, -kLimit, kLimit);
    double whole = std::floor(seconds);
    auto fraction =
        std::chrono::round<WallTime::duration>(std::chrono::duration<double>(seconds - whole));
    return WallTime(std::chrono::seconds(static_cast<std::int64_t>(whole))) + fraction;
}

}  // namespace vorla
