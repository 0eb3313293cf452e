// What a session is doing: the session state, a gate's picture and the key of
// the sprite the island draws. A plain enumeration, safe on any thread.
#pragma once

#include <array>
#include <string_view>

namespace vorla {

enum class SpriteKind {
    idle,
    thinking,
    reading,
    writing,
    shell,
    needsApproval,
    question,
    planReview,
    done,
    error,
};
inline constexpr std::array<SpriteKind, 10> kAllSpriteKinds = {
    SpriteKind::idle,  SpriteKind::thinking,      SpriteKind::reading,  SpriteKind::writing,
    SpriteKind::shell, SpriteKind::needsApproval, SpriteKind::question, SpriteKind::planReview,
    SpriteKind::done,  SpriteKind::error};

// "idle", "needsApproval", ... (the case names).
[[nodiscard]] std::string_view rawValue(SpriteKind kind);

}  // namespace vorla
