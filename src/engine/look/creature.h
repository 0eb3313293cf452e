// The pixel creatures as character grids: a body per agent and a headgear
// ("crown") per activity, two frames each, merged into the two frames a
// sprite alternates between. Pure functions over constant tables; safe from
// any thread.
//
// A grid is 16 rows of 16 characters in UTF-8: "#" full dot, "+" and "·"
// (U+00B7, two bytes) partial dots, "." nothing.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "core/protocol.h"
#include "engine/look/rgb.h"
#include "engine/session/sprite_kind.h"

namespace vorla::Creature {

using Grid = std::array<std::string, 16>;
using Frames = std::array<Grid, 2>;  // frame A, frame B

// The agent's figure in rows 4 to 13; frame B differs only in the legs.
[[nodiscard]] Frames body(Source source);
// Four headgear rows followed by twelve empty rows.
[[nodiscard]] Frames crown(SpriteKind kind);
// Body i over crown i: a cell takes the body's character unless that is ".".
[[nodiscard]] Frames frames(Source agent, SpriteKind state);
// The agent's own colour where the interface tells agents apart by colour (the
// day timeline); nullopt for Kiro, drawn in the plain text colour. Sprites
// themselves are drawn in their activity's tint.
[[nodiscard]] std::optional<Rgb> colour(Source agent);

}  // namespace vorla::Creature
