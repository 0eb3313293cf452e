// Draws the application icon — Claude Code's idle creature in the island's
// pink on its black rounded square — as PNGs at the hicolor sizes and as an
// SVG, into the folder given. Runs at build time on the offscreen platform.
//
//   vorla-make-icons OUT_DIR
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/look/pixel_sprite.h"
#include "ui/island/sprite_painter.h"
#include "ui/style/palette.h"

namespace {

using vorla::PixelSprite::Frame;

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
// The creature fills this share of the square; the rest is the black frame.
constexpr double kInset = 0.12;
constexpr double kCorner = 0.22;

const Frame& idleFrame() {
    return vorla::PixelSprite::frames(vorla::Source::claude, vorla::SpriteKind::idle).front();
}

QImage drawIcon(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath square;
    square.addRoundedRect(QRectF(0, 0, side, side), side * kCorner, side * kCorner);
    painter.fillPath(square, QColor(10, 10, 11));
    // Small icons keep whole-pixel dots so the creature stays crisp.
    painter.setRenderHint(QPainter::Antialiasing, side >= 64);
    const double inset = side * kInset;
    vorla::ui::paintSpriteFrame(painter, QRectF(inset, inset, side - 2 * inset, side - 2 * inset),
                                idleFrame(), vorla::ui::Palette::pink());
    return image;
}

std::string drawSvg() {
    constexpr int kSide = 256;
    constexpr double kCell = kSide * (1 - 2 * kInset) / vorla::PixelSprite::grid;
    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kSide << "\" height=\"" << kSide
        << "\" viewBox=\"0 0 " << kSide << ' ' << kSide << "\">\n"
        << "  <rect width=\"" << kSide << "\" height=\"" << kSide << "\" rx=\"" << kSide * kCorner
        << "\" fill=\"#0a0a0b\"/>\n  <g fill=\"" << vorla::ui::Palette::pink().name().toStdString()
        << "\">\n";
    const Frame& frame = idleFrame();
    for (int row = 0; row < vorla::PixelSprite::grid; ++row) {
        for (int col = 0; col < vorla::PixelSprite::grid; ++col) {
            if (!vorla::PixelSprite::dotOn(frame[row][col], row, col)) {
                continue;
            }
            // The same 8 % inset and 84 % dot as the painter, so both icons match.
            svg << "    <rect x=\"" << kSide * kInset + (col + 0.08) * kCell << "\" y=\""
                << kSide * kInset + (row + 0.08) * kCell << "\" width=\"" << kCell * 0.84
                << "\" height=\"" << kCell * 0.84 << "\"/>\n";
        }
    }
    svg << "  </g>\n</svg>\n";
    return svg.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vorla-make-icons OUT_DIR\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const std::filesystem::path out = argv[1];
    for (int side : kSizes) {
        std::filesystem::path dir =
            out / (std::to_string(side) + "x" + std::to_string(side)) / "apps";
        std::filesystem::create_directories(dir);
        if (!drawIcon(side).save(QString::fromStdString((dir / "vorla-agents.png").string()))) {
            std::fprintf(stderr, "vorla-make-icons: could not write %s\n", dir.c_str());
            return 1;
        }
    }
    std::filesystem::path scalable = out / "scalable" / "apps";
    std::filesystem::create_directories(scalable);
    std::ofstream(scalable / "vorla-agents.svg") << drawSvg();
    return 0;
}
