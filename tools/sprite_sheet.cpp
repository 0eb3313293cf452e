// Draws every pixel creature (each agent in each activity, both frames) on
// the island's black into one PNG: vorla-sprite-sheet OUT.png
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "engine/look/pixel_sprite.h"
#include "ui/desktop/tray_icon_image.h"
#include "ui/island/sprite_painter.h"
#include "ui/style/palette.h"

namespace {

using namespace vorla;

constexpr int kSprite = 48;
constexpr int kPad = 10;
constexpr int kColumn = 2 * kSprite + 3 * kPad;
constexpr int kLabel = 110;
constexpr int kHeader = 40;
constexpr int kTray = 36;
constexpr int kTrayRow = kTray + 2 * kPad + 8;

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

void drawSheet(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(ui::Type::caption());
    int column = 0;
    for (SpriteKind kind : kAllSpriteKinds) {
        const int x = kLabel + column * kColumn;
        painter.setPen(ui::Palette::text2());
        painter.drawText(QRect(x, 6, kColumn, 16), Qt::AlignCenter, text(rawValue(kind)));
        painter.setPen(ui::spriteTint(kind));
        painter.drawText(QRect(x, 22, kColumn, 16), Qt::AlignCenter,
                         text(PixelSprite::statusLabel(kind)));
        ++column;
    }
    int row = 0;
    for (Source agent : kAllSources) {
        const int y = kHeader + row * (kSprite + 2 * kPad);
        painter.setFont(ui::Type::label());
        painter.setPen(ui::Palette::text());
        painter.drawText(QRect(kPad, y, kLabel - kPad, kSprite + 2 * kPad),
                         Qt::AlignVCenter | Qt::AlignLeft, text(displayName(agent)));
        column = 0;
        for (SpriteKind kind : kAllSpriteKinds) {
            const auto& frames = PixelSprite::frames(agent, kind);
            for (std::size_t i = 0; i < frames.size(); ++i) {
                const int x =
                    kLabel + column * kColumn + kPad + static_cast<int>(i) * (kSprite + kPad);
                ui::paintSpriteFrame(painter, QRectF(x, y + kPad, kSprite, kSprite), frames[i],
                                     ui::spriteTint(kind));
            }
            ++column;
        }
        ++row;
    }
}

// The tray icon on a dark and on a light panel.
void drawTray(QPainter& painter, int y) {
    painter.setFont(ui::Type::label());
    painter.setPen(ui::Palette::text());
    painter.drawText(QRect(kPad, y, kLabel - kPad, kTrayRow), Qt::AlignVCenter | Qt::AlignLeft,
                     "Tray icon");
    const QImage icon = ui::trayIconImage(kTray);
    int x = kLabel + kPad;
    for (const QColor& panel : {QColor(0x2b, 0x2b, 0x2b), QColor(0xec, 0xec, 0xec)}) {
        painter.fillRect(QRect(x, y + 4, kTray + 2 * kPad, kTray + 2 * kPad), panel);
        painter.drawImage(QPoint(x + kPad, y + 4 + kPad), icon);
        x += kTray + 3 * kPad;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vorla-sprite-sheet OUT.png\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const int width = kLabel + static_cast<int>(kAllSpriteKinds.size()) * kColumn + kPad;
    const int height =
        kHeader + static_cast<int>(kAllSources.size()) * (kSprite + 2 * kPad) + kTrayRow;
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(ui::Palette::island());
    {
        QPainter painter(&image);
        drawSheet(painter);
        drawTray(painter, height - kTrayRow);
    }
    if (!image.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "vorla-sprite-sheet: could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
