// The four risk levels of a tool call and their words. Kept apart from the
// risk engine so that what only shows a level links no pattern matcher.
// Plain values; safe from any thread.
#pragma once

#include <optional>
#include <string_view>

namespace vorla {

// Ordered by raw value; audit records and the state snapshot store the integer.
enum class Risk : int { trivial = 0, normal = 1, elevated = 2, critical = 3 };

[[nodiscard]] constexpr int rawValue(Risk risk) {
    return static_cast<int>(risk);
}
// 0 to 3 only; anything else is nullopt.
[[nodiscard]] std::optional<Risk> riskFromRaw(long long raw);
// "read-only", "writes files", "elevated", "DESTRUCTIVE".
[[nodiscard]] std::string_view label(Risk risk);

}  // namespace vorla
