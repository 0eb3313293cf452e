// The tray icon's picture as cells: the first frame of the "claude-idle"
// sprite on an 18 x 18 point square, one cell of 18/16 points per dot, with
// partial intensities dithered like the sprites. Pure; safe from any thread.
#pragma once

#include <vector>

namespace vorla::TrayGlyph {

inline constexpr double side = 18;         // points
inline constexpr double cell = side / 16;  // 1.125

struct Cell {
    int row = 0;  // from the top
    int column = 0;
    friend bool operator==(const Cell&, const Cell&) = default;
};

// The filled cells, row by row. A cell's square is at x = column x cell,
// y = row x cell (y downwards), of side `cell`.
[[nodiscard]] std::vector<Cell> filledCells();

}  // namespace vorla::TrayGlyph
