#include "engine/look/context_reading.h"

#include <algorithm>
#include <cmath>

namespace vorla {

ContextReading ContextReading::of(const ContextUsage& usage) {
    ContextReading reading;
    if (usage.limit >= 1) {
        reading.fraction = std::clamp(
            static_cast<double>(usage.used) / static_cast<double>(usage.limit), 0.0, 1.0);
        reading.warn = SegmentBar::warns(reading.fraction);
    }
    reading.text =
        ContextUsage::shortText(usage.used) + " / " + ContextUsage::shortText(usage.limit);
    return reading;
}

namespace SegmentBar {

int filled(double fraction, int segments) {
    if (!(fraction > 0) || segments <= 0) {
        return 0;
    }
    const double lit = std::round(std::min(fraction, 1.0) * segments);
    return std::clamp(static_cast<int>(lit), 0, segments);
}

}  // namespace SegmentBar

}  // namespace vorla
