#include "engine/look/notification_icon.h"

#include <cmath>

#include "engine/look/pixel_sprite.h"
#include "engine/look/tray_glyph.h"

namespace vorla {

namespace {

constexpr int kSide = 64;
constexpr int kDot = kSide / PixelSprite::grid;
constexpr int kCornerRadius = 12;

std::uint8_t channel(double value) {
    return static_cast<std::uint8_t>(std::lround(value * 255.0));
}

// Outside the rounded corners: transparent.
bool insideRoundedSquare(int x, int y) {
    auto distanceInto = [](int v) {
        if (v < kCornerRadius) {
            return kCornerRadius - v;
        }
        if (v >= kSide - kCornerRadius) {
            return v - (kSide - kCornerRadius - 1);
        }
        return 0;
    };
    int dx = distanceInto(x);
    int dy = distanceInto(y);
    return dx * dx + dy * dy <= kCornerRadius * kCornerRadius;
}

void setPixel(RgbaImage& image, int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    auto* pixel =
        &image.pixels[(static_cast<std::size_t>(y) * kSide + static_cast<std::size_t>(x)) * 4];
    pixel[0] = r;
    pixel[1] = g;
    pixel[2] = b;
    pixel[3] = 255;
}

}  // namespace

RgbaImage notificationIcon() {
    RgbaImage image{kSide, kSide, std::vector<std::uint8_t>(std::size_t{kSide} * kSide * 4, 0)};
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            if (insideRoundedSquare(x, y)) {
                setPixel(image, x, y, 0, 0, 0);
            }
        }
    }
    const Rgb pink = PixelSprite::pink;
    for (const TrayGlyph::Cell& cell : TrayGlyph::filledCells()) {
        for (int y = cell.row * kDot; y < (cell.row + 1) * kDot; ++y) {
            for (int x = cell.column * kDot; x < (cell.column + 1) * kDot; ++x) {
                setPixel(image, x, y, channel(pink.r), channel(pink.g), channel(pink.b));
            }
        }
    }
    return image;
}

}  // namespace vorla
