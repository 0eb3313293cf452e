#include "engine/support/clock.h"

namespace vorla {

SystemClock& SystemClock::shared() {
    static SystemClock clock;
    return clock;
}

double toEpochSeconds(WallTime time) {
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

WallTime fromEpochSeconds(double seconds) {
    return WallTime(
        std::chrono::duration_cast<WallTime::duration>(std::chrono::duration<double>(seconds)));
}

}  // namespace vorla
