#include "engine/look/tool_label.h"

#include <vector>

#include "engine/policy/tool_class.h"
#include "engine/support/characters.h"

namespace vorla {

SpriteKind spriteFor(std::string_view tool) {
    switch (classifyTool(tool)) {
        case ToolClass::read:
        case ToolClass::readLike:
            return SpriteKind::reading;
        case ToolClass::shell:
        case ToolClass::shellLike:
            return SpriteKind::shell;
        case ToolClass::write:
        case ToolClass::writeLike:
            return SpriteKind::writing;
        case ToolClass::plan:
            return SpriteKind::planReview;
        case ToolClass::question:
            return SpriteKind::question;
        case ToolClass::other:
            break;
    }
    return SpriteKind::needsApproval;
}

std::string shortTool(std::string_view name) {
    std::string label(name);
    if (name.starts_with("mcp__")) {
        // Split left to right, as "a___b" splits into "a" and "_b".
        std::size_t pieceStart = 0;
        for (auto at = name.find("__"); at != std::string_view::npos;
             at = name.find("__", at + 2)) {
            pieceStart = at + 2;
        }
        std::string_view piece = name.substr(pieceStart);
        if (!piece.empty()) {
            label = std::string(piece);
        }
    }
    if (label.size() < 17) {
        return label;  // fewer bytes than 17 is fewer characters too
    }
    std::vector<std::size_t> ends = characterEnds(label, 17);
    if (ends.size() < 17) {
        return label;
    }
    return label.substr(0, ends[14]) + "…";
}

}  // namespace vorla
