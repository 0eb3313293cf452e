// The island's outline (IslandShape) as a QPainterPath, for filling the
// island black and for the window's shape mask where no compositor gives
// per-pixel transparency. Interface thread (any thread owning the path).
#pragma once

#include <QPainterPath>
#include <QRectF>
#include <QRegion>

#include "engine/look/island_shape.h"

namespace vorla::ui {

[[nodiscard]] QPainterPath islandPath(const IslandShape& shape, const QRectF& rect);
// The path's inside as whole pixels, for QWidget::setMask.
[[nodiscard]] QRegion islandRegion(const IslandShape& shape, const QRectF& rect);

}  // namespace vorla::ui
