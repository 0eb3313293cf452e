#include "engine/session/sprite_kind.h"

#include <array>

namespace vorla {

std::string_view rawValue(SpriteKind kind) {
    static constexpr std::array<std::string_view, 10> kNames = {
        "idle",          "thinking", "reading",    "writing", "shell",
        "needsApproval", "question", "planReview", "done",    "error"};
    return kNames.at(static_cast<std::size_t>(kind));
}

}  // namespace vorla
