#include "engine/usage/compact.h"

#include <cstdio>

namespace vorla::Int {

std::string compact(std::int64_t value) {
    if (value < 1'000) {
        return std::to_string(value);
    }
    struct Step {
        std::int64_t below;
        double divisor;
        const char* format;
    };
    static constexpr Step kSteps[] = {
        {1'000'000, 1e3, "%.1fk"},
        {1'000'000'000, 1e6, "%.1fM"},
    };
    const char* format = "%.1fB";
    double divisor = 1e9;
    for (const Step& step : kSteps) {
        if (value < step.below) {
            format = step.format;
            divisor = step.divisor;
            break;
        }
    }
    char text[32];
    std::snprintf(text, sizeof text, format, static_cast<double>(value) / divisor);
    return text;
}

}  // namespace vorla::Int
