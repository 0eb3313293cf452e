// The gate card's rules that need no toolkit: the detail box's height from a
// font's line metrics and a wrapped line count, the texts it shows, the risk
// row's colour, when the "Always allow" switch is offered, and the boss
// card's half-second pulse. Pure; safe from any thread.
#pragma once

#include <string>
#include <string_view>

#include "engine/look/rgb.h"
#include "engine/policy/risk_engine.h"

namespace vorla::GateCardLook {

inline constexpr double detailWrapWidth = 440;  // points the detail text wraps to
inline constexpr double detailFontSize = 13;    // mono
inline constexpr int maxDetailLines = 4;        // longer text scrolls in the box
inline constexpr double detailBoxPadding = 24;

// The detail text as visibleText with its line breaks kept, or "(no
// arguments)" when it is empty.
[[nodiscard]] std::string detailText(std::string_view detail);
// ceil(ascent + descent + leading), with descent as a positive distance
// below the baseline (QFontMetricsF::descent()).
[[nodiscard]] double lineHeight(double ascent, double descent, double leading);
// lineHeight x wrapped lines (kept within 1..4) + 24.
[[nodiscard]] double detailBoxHeight(double lineHeight, int wrappedLines);

// The risk dot and label colour: green for trivial and normal, yellow for
// elevated, pink for critical. The label text is label(Risk).
[[nodiscard]] Rgb riskTint(Risk risk);
// The switch exists only with a teach action and risk trivial or normal:
// elevated and critical calls can never be taught from the island.
[[nodiscard]] bool offersAlwaysAllow(Risk risk, bool canTeach);
// The switch's label for a rule key: Always allow "git status" (the key as
// visibleText).
[[nodiscard]] std::string alwaysAllowLabel(std::string_view ruleKey);

// A critical gate's card pulses on a clock that ticks every half second.
struct BossPulse {
    double fillOpacity = 0;     // pink background
    double outlineOpacity = 0;  // 1-point pink outline
};
// Phase = floor(2 t): even 22 % / 70 %, odd 12 % / 35 %.
[[nodiscard]] BossPulse bossPulse(double seconds);
// Seconds until the pulse next changes (for a timer), in (0, 0.5].
[[nodiscard]] double untilNextPulse(double seconds);

}  // namespace vorla::GateCardLook
