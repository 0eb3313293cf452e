// The victory lap's geometry: where the finishing agent's sprite and the
// sparks behind it are at a given moment. Pure functions of the elapsed time,
// so every lap looks the same; the island draws what these return. Safe from
// any thread.
#pragma once

#include <vector>

namespace vorla {

struct VictoryLap {
    // As the island creates it (points and seconds).
    double width = 464;
    double duration = 1.5;
    int hops = 3;
    double creature = 22;  // sprite size
    int sparks = 20;

    struct Point {
        double x = 0;
        double y = 0;
    };
    // Colours of the sprite palette, cycled by spark index.
    enum class SparkColour { green, yellow, pink };
    struct Spark {
        int index = 0;
        Point origin;  // top-left of a 3 x 3 point square
        double opacity = 0;
        SparkColour colour = SparkColour::green;
    };

    // Elapsed time over duration, within [0, 1].
    [[nodiscard]] double progress(double elapsedSeconds) const;

    // Offset of the sprite at progress p: it runs width - creature points
    // and hops `hops` times, up being negative y.
    [[nodiscard]] Point spritePosition(double p) const;

    // The sparks alive at progress p (0 < age < 0.3), in index order.
    [[nodiscard]] std::vector<Spark> visibleSparks(double p, double stripHeight) const;
};

}  // namespace vorla
