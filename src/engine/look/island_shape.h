// The island's outline as plain geometry: full width along the top edge,
// concave shoulders where it meets the top of the screen, straight sides and
// two rounded bottom corners. The interface turns the elements into a
// QPainterPath (ui/island_path.h) for filling and for the window's shape mask.
//
// Coordinates have y downwards; angles are in degrees measured from +x
// towards +y. Pure; safe from any thread.
#pragma once

#include <vector>

#include "engine/look/island_layout.h"

namespace vorla {

struct IslandShape {
    double notchWidth = 0;
    double notchHeight = 32;
    bool expanded = false;

    struct Point {
        double x = 0;
        double y = 0;
        friend bool operator==(const Point&, const Point&) = default;
    };

    // moveTo and lineTo use `to`; an arc uses centre, radius and runs from
    // startAngle to endAngle (increasing or decreasing as the numbers say),
    // continuing the path from where the previous element ended.
    struct Element {
        enum class Type { moveTo, lineTo, arc, close };
        Type type = Type::moveTo;
        Point to;
        Point centre;
        double radius = 0;
        double startAngle = 0;
        double endAngle = 0;

        // Where the pen is after this element (the arc's end point).
        [[nodiscard]] Point end() const;
    };

    struct Outline {
        double top = 0;     // radius of the concave shoulders
        double bottom = 0;  // radius of the rounded bottom corners
        std::vector<Element> elements;
    };

    // top = min(12 expanded / 8 collapsed, width x 0.25);
    // bottom = min(22 / 11, height x 0.5, (width - 2 top) x 0.5).
    [[nodiscard]] double topRadius(double width) const;
    [[nodiscard]] double bottomRadius(double width, double height) const;

    [[nodiscard]] Outline path(const LookRect& rect) const;
};

}  // namespace vorla
