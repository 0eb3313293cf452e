#include "engine/look/island_layout.h"

#include <algorithm>

#include "engine/session/session.h"

namespace vorla {
namespace IslandLayout {
namespace {

std::size_t codePoints(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

double leftEar(std::size_t sessions) {
    const auto k = static_cast<double>(
        std::clamp<std::size_t>(sessions, 1, static_cast<std::size_t>(maxEarSprites)));
    return std::max(minEar, (k - 1) * spriteGap + k * spriteSlot + leftEarPadding);
}

double rightEar(std::string_view activity) {
    if (activity.empty()) {
        return minEar;
    }
    const double wanted =
        static_cast<double>(codePoints(activity)) * rightEarPerChar + rightEarExtra;
    return std::min(maxRightEar, std::max(minEar, wanted));
}

double rightEar(const std::vector<std::shared_ptr<Session>>& sessions) {
    if (sessions.empty() || !sessions.front()) {
        return minEar;
    }
    return rightEar(sessions.front()->activity());
}

Mode mode(bool gateOpen, bool hovering, bool celebrating) {
    if (gateOpen || hovering) {
        return Mode::expanded;
    }
    return celebrating ? Mode::lapping : Mode::collapsed;
}

Frame frameFor(const Inputs& inputs, const NotchGeometry& geo) {
    const Mode shown = mode(inputs.gateOpen, inputs.hovering, inputs.celebrating);
    if (shown == Mode::collapsed) {
        const double left = leftEar(inputs.sessions);
        return Frame{inputs.rightEar + left + geo.notchWidth + collapsedMargin, geo.notchHeight,
                     left + collapsedMargin / 2};
    }
    const double least = geo.notchHeight + expandedMinExtraHeight;
    if (shown == Mode::lapping) {
        return Frame{expandedWidth, least, std::nullopt};
    }
    double height = std::max(inputs.measuredHeight, least);
    if (inputs.maxHeight > 0) {
        height = std::min(height, inputs.maxHeight);
    }
    return Frame{expandedWidth, height, std::nullopt};
}

LookRect windowRect(const Frame& frame, const NotchGeometry& geo, const LookRect& screen) {
    const double x = frame.notchLeading ? screen.midX() - geo.notchWidth / 2 - *frame.notchLeading
                                        : screen.midX() - frame.width / 2;
    return LookRect{x, screen.y, frame.width, frame.height};
}

LookRect hoverRect(const Inputs& inputs, const NotchGeometry& geo, const LookRect& screen) {
    if (mode(inputs.gateOpen, inputs.hovering, inputs.celebrating) == Mode::expanded) {
        const LookRect window = windowRect(frameFor(inputs, geo), geo, screen);
        return LookRect{window.x - hoverMarginX, window.y, window.width + 2 * hoverMarginX,
                        window.height + hoverMarginY};
    }
    const double left = leftEar(inputs.sessions);
    return LookRect{screen.midX() - geo.notchWidth / 2 - left - hoverMarginX, screen.y,
                    inputs.rightEar + left + geo.notchWidth + 2 * hoverMarginX,
                    geo.notchHeight + hoverMarginY};
}

}  // namespace IslandLayout

std::optional<IslandLayout::Frame> IslandSizer::resize(const IslandLayout::Frame& wanted) {
    if (last_ == wanted) {
        return std::nullopt;
    }
    last_ = wanted;
    return wanted;
}

}  // namespace vorla
