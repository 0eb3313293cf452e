#include "engine/look/tray_glyph.h"

#include "engine/look/pixel_sprite.h"

namespace vorla::TrayGlyph {

std::vector<Cell> filledCells() {
    const auto& frame = PixelSprite::frames(Source::claude, SpriteKind::idle).front();
    std::vector<Cell> cells;
    for (int row = 0; row < PixelSprite::grid; ++row) {
        for (int column = 0; column < PixelSprite::grid; ++column) {
            const double v = frame[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
            if (PixelSprite::dotOn(v, row, column)) {
                cells.push_back({row, column});
            }
        }
    }
    return cells;
}

}  // namespace vorla::TrayGlyph
