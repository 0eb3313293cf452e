// How a session's context-window use is shown: the bar's fraction and lit
// segments, whether it warns (yellow), and the "190k / 200k" text. Pure;
// safe from any thread.
#pragma once

#include <string>

#include "engine/usage/context_meter.h"

namespace vorla {

struct ContextReading {
    double fraction = 0;  // used / limit within [0, 1]; 0 when limit < 1
    bool warn = false;    // past 85 %: bar and text turn yellow
    std::string text;     // "190k / 200k"

    [[nodiscard]] static ContextReading of(const ContextUsage& usage);
};

namespace SegmentBar {

inline constexpr double warnAbove = 0.85;

// Lit segments: fraction x segments rounded to the nearest integer, kept
// within [0, segments] (a NaN or negative fraction lights none).
[[nodiscard]] int filled(double fraction, int segments);
// The context bar's colour rule: yellow past 85 %, else pink.
[[nodiscard]] inline bool warns(double fraction) {
    return fraction > warnAbove;
}

}  // namespace SegmentBar

}  // namespace vorla
