#include "engine/records/victory_lap.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vorla {

double VictoryLap::progress(double elapsedSeconds) const {
    if (duration <= 0) {
        return 1;
    }
    return std::clamp(elapsedSeconds / duration, 0.0, 1.0);
}

VictoryLap::Point VictoryLap::spritePosition(double p) const {
    double travel = width - creature;
    return {p * travel, -7 * std::fabs(std::sin(p * std::numbers::pi * hops))};
}

std::vector<VictoryLap::Spark> VictoryLap::visibleSparks(double p, double stripHeight) const {
    std::vector<Spark> visible;
    if (sparks < 2) {
        return visible;  // launch points need at least two sparks to spread over the lap
    }
    const double travel = width - creature;
    for (int i = 0; i < sparks; ++i) {
        double launch = static_cast<double>(i) / (sparks - 1);
        double age = p - launch;
        if (age <= 0 || age >= 0.3) {
            continue;
        }
        double noise = std::sin(i * 12.9898) * 43758.5453;
        double jitter = noise - std::trunc(noise);
        visible.push_back(Spark{i,
                                {jitter * 6 - 3 + travel * launch + creature / 2,
                                 stripHeight / 2 + std::sin(i * 2.1) * 9 * 0.4},
                                1 - age / 0.3,
                                static_cast<SparkColour>(i % 3)});
    }
    return visible;
}

}  // namespace vorla
