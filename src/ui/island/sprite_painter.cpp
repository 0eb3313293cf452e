#include "ui/island/sprite_painter.h"

#include <algorithm>

#include "ui/style/palette.h"

namespace vorla::ui {

void paintSpriteFrame(QPainter& painter, const QRectF& rect, const PixelSprite::Frame& frame,
                      const QColor& colour) {
    const double side = std::min(rect.width(), rect.height());
    const double cell = side / PixelSprite::grid;
    const double inset = cell * 0.08;
    const double dot = cell * 0.84;
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    for (int y = 0; y < PixelSprite::grid; ++y) {
        for (int x = 0; x < PixelSprite::grid; ++x) {
            const double v = frame[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
            if (PixelSprite::dotOn(v, y, x)) {
                painter.drawRect(
                    QRectF(rect.x() + inset + cell * x, rect.y() + inset + cell * y, dot, dot));
            }
        }
    }
    painter.restore();
}

void paintSprite(QPainter& painter, const QRectF& rect, SpriteKind kind, Source agent, double t,
                 const QColor& colour) {
    const auto& frames = PixelSprite::frames(agent, kind);
    const auto index = static_cast<std::size_t>(PixelSprite::frameIndex(kind, t));
    paintSpriteFrame(painter, rect, frames[index % frames.size()], colour);
}

QColor spriteTint(SpriteKind kind) {
    return Palette::fromRgb(PixelSprite::tint(kind));
}

}  // namespace vorla::ui
