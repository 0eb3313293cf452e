// Estimated prices of tokens per model, in US dollars. Stateless; any thread.
#pragma once

#include <optional>
#include <string_view>

#include "engine/usage/day_usage.h"

namespace vorla::Pricing {

// US dollars per one million tokens.
struct Rates {
    double input = 0;
    double output = 0;
    friend bool operator==(const Rates&, const Rates&) = default;
};

// Rates for a raw model identifier or a display name (same answer for both);
// nullopt for a model without a known public price, whose cost is unknown
// rather than guessed.
[[nodiscard]] std::optional<Rates> rates(std::string_view model);

// Cost of `usage` booked under `model`: cache writes at 1.25 times and cache
// reads at 0.1 times the input rate; messages cost nothing. nullopt when the
// model has no known price.
[[nodiscard]] std::optional<double> cost(const DayUsage& usage, std::string_view model);

}  // namespace vorla::Pricing
