#include "engine/look/gate_card_look.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/text.h"

namespace vorla::GateCardLook {

std::string detailText(std::string_view detail) {
    return detail.empty() ? std::string("(no arguments)") : visibleText(detail, LineBreaks::keep);
}

double lineHeight(double ascent, double descent, double leading) {
    return std::ceil(ascent + descent + leading);
}

double detailBoxHeight(double height, int wrappedLines) {
    const int lines = std::clamp(wrappedLines, 1, maxDetailLines);
    return height * lines + detailBoxPadding;
}

Rgb riskTint(Risk risk) {
    switch (risk) {
        case Risk::trivial:
        case Risk::normal:
            return Accent::green;
        case Risk::elevated:
            return Accent::yellow;
        case Risk::critical:
            return Accent::pink;
    }
    return Accent::pink;
}

bool offersAlwaysAllow(Risk risk, bool canTeach) {
    return canTeach && rawValue(risk) <= rawValue(Risk::normal);
}

std::string alwaysAllowLabel(std::string_view ruleKey) {
    std::string text = "Always allow \"";
    text += visibleText(ruleKey);
    text += '"';
    return text;
}

BossPulse bossPulse(double seconds) {
    const auto phase = static_cast<std::int64_t>(std::floor(std::max(0.0, seconds) * 2));
    return phase % 2 == 0 ? BossPulse{0.22, 0.70} : BossPulse{0.12, 0.35};
}

double untilNextPulse(double seconds) {
    const double t = std::max(0.0, seconds);
    const double next = (std::floor(t * 2) + 1) / 2;
    return std::clamp(next - t, 1e-3, 0.5);
}

}  // namespace vorla::GateCardLook
