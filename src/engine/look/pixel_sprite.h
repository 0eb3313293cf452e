// The sprite of one agent in one activity as dots: intensity frames built
// once from the creatures' character grids, and the ordered-dither test that
// says whether a dot is lit at a given time. Also each activity's status,
// label, tint and animation rate.
//
// Everything here is a pure function of its arguments over data built once on
// first use (under one-time initialisation) and read without locks
// afterwards: safe from any thread.
//
// Time `t` is in seconds (never negative); spriteTime() gives the value the
// island uses. Coordinates: x is the column, y the row, 0..15, row 0 at the
// top.
#pragma once

#include <array>
#include <chrono>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/protocol.h"
#include "engine/look/rgb.h"
#include "engine/session/sprite_kind.h"

namespace vorla::PixelSprite {

inline constexpr int grid = 16;  // cells per side

enum class Status { active, completed, needsYou };

inline constexpr Rgb green = Accent::green;
inline constexpr Rgb yellow = Accent::yellow;
inline constexpr Rgb pink = Accent::pink;

// Intensities in [0, 1], frame[row][column].
using Frame = std::array<std::array<double, grid>, grid>;
// "claude-idle" -> its two frames; 4 agents x 10 kinds = 40 keys.
using Cache = std::unordered_map<std::string, std::vector<Frame>>;

[[nodiscard]] const Cache& cache();
// "<source>-<kind>", e.g. "codex-needsApproval".
[[nodiscard]] std::string key(Source agent, SpriteKind kind);
// The cached frames of a sprite; never null (every agent/kind pair exists).
[[nodiscard]] const std::vector<Frame>& frames(Source agent, SpriteKind kind);

// "#" 1.0, "+" 0.62, "·" 0.3, anything else 0.
[[nodiscard]] double intensity(std::string_view character);
// The 4 x 4 Bayer threshold (m + 0.5) / 16 at (row mod 4, column mod 4).
[[nodiscard]] double bayer(int row, int column);
// The dither rule shared by sprites and the tray icon: <= 0 off, >= 1 on,
// otherwise on exactly when the threshold is strictly below v.
[[nodiscard]] bool dotOn(double v, int row, int column);

// Whether the dot at column x, row y is lit at time t. Out-of-range
// coordinates give false.
[[nodiscard]] bool lit(SpriteKind kind, Source agent, int x, int y, double t);

[[nodiscard]] Status status(SpriteKind kind);
// "active", "completed" or "needs you".
[[nodiscard]] std::string_view statusLabel(SpriteKind kind);
// pink for active kinds, yellow when the user is needed, green when done.
[[nodiscard]] Rgb tint(SpriteKind kind);
[[nodiscard]] double framesPerSecond(SpriteKind kind);

// Which of the two frames shows at time t: floor(t x fps) mod 2.
[[nodiscard]] int frameIndex(SpriteKind kind, double t);
// The first time after t at which frameIndex changes. A view sleeps until
// then instead of redrawing on every display frame.
[[nodiscard]] double nextFrameChange(SpriteKind kind, double t);

// Seconds since 2001-01-01 00:00 UTC: the clock every sprite animates on, so
// sprites of one kind change frame together.
[[nodiscard]] double spriteTime(std::chrono::system_clock::time_point now);
[[nodiscard]] double spriteTimeNow();

}  // namespace vorla::PixelSprite
