// The picture desktop notifications carry: the idle Claude creature's dots in
// the sprites' pink on the island's black, 64 x 64 pixels. Pure; safe from
// any thread.
#pragma once

#include <cstdint>
#include <vector>

namespace vorla {

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // row by row, 4 bytes per pixel, not premultiplied
};

[[nodiscard]] RgbaImage notificationIcon();

}  // namespace vorla
