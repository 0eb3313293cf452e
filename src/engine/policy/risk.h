// The four risk levels of a tool call and their words. Kept apart from the
// risk engine so that what only shows a level links no pattern matcher.
// Plain values; safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

struct RiskVerdict {
    Risk level = Risk::normal;
    std::vector<std::string> reasons;  // never empty

    friend bool operator==(const RiskVerdict&, const RiskVerdict&) = default;
};

}  // namespace vorla
