#include "ui/desktop/tray_icon_image.h"

#include <QPainter>
#include <QPixmap>
#include <array>

#include "engine/look/tray_glyph.h"

namespace vorla::ui {
namespace {

using Mask = std::array<std::array<bool, 16>, 16>;

Mask glyphMask() {
    Mask mask{};
    for (const auto& cell : TrayGlyph::filledCells()) {
        mask[static_cast<std::size_t>(cell.row)][static_cast<std::size_t>(cell.column)] = true;
    }
    return mask;
}

// Empty cells touching a filled one (eight neighbours): the outline.
Mask outlineMask(const Mask& glyph) {
    Mask ring{};
    for (int r = 0; r < 16; ++r) {
        for (int c = 0; c < 16; ++c) {
            if (glyph[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]) {
                continue;
            }
            for (int dr = -1; dr <= 1; ++dr) {
                for (int dc = -1; dc <= 1; ++dc) {
                    const int rr = r + dr;
                    const int cc = c + dc;
                    if (rr >= 0 && rr < 16 && cc >= 0 && cc < 16 &&
                        glyph[static_cast<std::size_t>(rr)][static_cast<std::size_t>(cc)]) {
                        ring[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = true;
                    }
                }
            }
        }
    }
    return ring;
}

void fillCells(QPainter& painter, const Mask& mask, double cell, const QColor& colour) {
    painter.setBrush(colour);
    for (int r = 0; r < 16; ++r) {
        for (int c = 0; c < 16; ++c) {
            if (mask[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]) {
                painter.drawRect(QRectF(c * cell, r * cell, cell, cell));
            }
        }
    }
}

}  // namespace

QColor trayGlyphColour() {
    return QColor(0xF2, 0xF2, 0xF2);
}

QColor trayOutlineColour() {
    return QColor(0x14, 0x14, 0x14, 0xE6);
}

QImage trayIconImage(int pixels) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const Mask glyph = glyphMask();
    const double cell = pixels / 16.0;
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    fillCells(painter, outlineMask(glyph), cell, trayOutlineColour());
    fillCells(painter, glyph, cell, trayGlyphColour());
    return image;
}

QIcon trayIcon() {
    QIcon icon;
    for (int pixels : {16, 18, 22, 24, 32, 36, 48, 64, 72}) {
        icon.addPixmap(QPixmap::fromImage(trayIconImage(pixels)));
    }
    return icon;
}

}  // namespace vorla::ui
