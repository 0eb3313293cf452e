// What a session is doing: the session state, a gate's picture and the key of
// the sprite the island draws. A plain enumeration, safe on any thread.
#pragma once

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

// "idle", "needsApproval", ... (the case names).
[[nodiscard]] std::string_view rawValue(SpriteKind kind);

}  // namespace vorla
