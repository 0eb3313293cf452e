#include "ui/island/island_path.h"

#include <QPolygonF>

namespace vorla::ui {

QPainterPath islandPath(const IslandShape& shape, const QRectF& rect) {
    using Type = IslandShape::Element::Type;
    const auto outline = shape.path(LookRect{rect.x(), rect.y(), rect.width(), rect.height()});
    QPainterPath path;
    for (const auto& element : outline.elements) {
        switch (element.type) {
            case Type::moveTo:
                path.moveTo(element.to.x, element.to.y);
                break;
            case Type::lineTo:
                path.lineTo(element.to.x, element.to.y);
                break;
            case Type::arc: {
                const QRectF box(element.centre.x - element.radius,
                                 element.centre.y - element.radius, 2 * element.radius,
                                 2 * element.radius);
                // Qt's angles grow counter-clockwise on screen (towards -y);
                // the outline's grow towards +y.
                path.arcTo(box, -element.startAngle, -(element.endAngle - element.startAngle));
                break;
            }
            case Type::close:
                path.closeSubpath();
                break;
        }
    }
    return path;
}

QRegion islandRegion(const IslandShape& shape, const QRectF& rect) {
    const QPolygonF polygon = islandPath(shape, rect).toFillPolygon();
    return QRegion(polygon.toPolygon(), Qt::WindingFill);
}

}  // namespace vorla::ui
