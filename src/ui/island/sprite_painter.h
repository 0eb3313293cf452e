// Draws one pixel creature with QPainter: each lit dot of the sprite's
// current frame is a square inset 8 % from its cell's top-left corner and
// 84 % of the cell wide, so gaps show between dots.
//
// Interface thread (any thread that owns the QPainter's device).
#pragma once

#include <QColor>
#include <QPainter>
#include <QRectF>

#include "core/protocol.h"
#include "engine/look/pixel_sprite.h"

namespace vorla::ui {

// The sprite (kind, agent) at time t (PixelSprite::spriteTimeNow()) in the
// square of side min(width, height) at rect's top-left, in `colour`
// (PixelSprite::tint(kind) when the caller has no colour of its own).
void paintSprite(QPainter& painter, const QRectF& rect, SpriteKind kind, Source agent, double t,
                 const QColor& colour);
// One frame of intensities, dithered.
void paintSpriteFrame(QPainter& painter, const QRectF& rect, const PixelSprite::Frame& frame,
                      const QColor& colour);
// The kind's tint as a QColor.
[[nodiscard]] QColor spriteTint(SpriteKind kind);

}  // namespace vorla::ui
