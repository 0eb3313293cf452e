#include "engine/look/island_shape.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vorla {

IslandShape::Point IslandShape::Element::end() const {
    if (type != Type::arc) {
        return to;
    }
    const double radians = endAngle * std::numbers::pi / 180.0;
    return Point{centre.x + radius * std::cos(radians), centre.y + radius * std::sin(radians)};
}

double IslandShape::topRadius(double width) const {
    return std::min(expanded ? 12.0 : 8.0, width * 0.25);
}

double IslandShape::bottomRadius(double width, double height) const {
    const double top = topRadius(width);
    return std::max(0.0, std::min({expanded ? 22.0 : 11.0, height * 0.5, (width - 2 * top) * 0.5}));
}

IslandShape::Outline IslandShape::path(const LookRect& rect) const {
    using Type = Element::Type;
    const double top = topRadius(rect.width);
    const double bottom = bottomRadius(rect.width, rect.height);
    const double minX = rect.x;
    const double minY = rect.y;
    const double maxX = rect.right();
    const double maxY = rect.bottom();

    auto arc = [](Point centre, double radius, double from, double to) {
        return Element{Type::arc, {}, centre, radius, from, to};
    };
    auto line = [](Point to) { return Element{Type::lineTo, to, {}, 0, 0, 0}; };

    Outline outline{top, bottom, {}};
    outline.elements = {
        Element{Type::moveTo, {minX, minY}, {}, 0, 0, 0},
        arc({minX, minY + top}, top, -90, 0),
        line({minX + top, maxY - bottom}),
        arc({minX + top + bottom, maxY - bottom}, bottom, 180, 90),
        line({maxX - top - bottom, maxY}),
        arc({maxX - top - bottom, maxY - bottom}, bottom, 90, 0),
        line({maxX - top, minY + top}),
        arc({maxX, minY + top}, top, 180, 270),
        Element{Type::close, {minX, minY}, {}, 0, 0, 0},
    };
    return outline;
}

}  // namespace vorla
