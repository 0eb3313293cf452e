#include "engine/usage/pricing.h"

#include <array>
#include <string>

#include "core/text.h"
#include "engine/usage/transcript_scan.h"

namespace vorla::Pricing {

Rates rates(std::string_view model) {
    struct Rule {
        std::string_view word;
        Rates rates;
    };
    // First match decides; haiku is tested before sonnet, which changes
    // nothing because no name holds both.
    static constexpr std::array<Rule, 6> kRules = {{
        {"fable", {25, 125}},
        {"opus", {15, 75}},
        {"haiku", {1, 5}},
        {"sonnet", {3, 15}},
        {"gpt", {5, 20}},
        {"codex", {5, 20}},
    }};
    std::string lower = asciiLower(model);
    for (const Rule& rule : kRules) {
        if (lower.find(rule.word) != std::string::npos) {
            return rule.rates;
        }
    }
    return {3, 15};
}

double cost(const DayUsage& usage, std::string_view model) {
    Rates r = rates(model);
    double dollars = r.input * static_cast<double>(usage.input) +
                     r.output * static_cast<double>(usage.output) +
                     1.25 * r.input * static_cast<double>(usage.cacheWrite) +
                     0.1 * r.input * static_cast<double>(usage.cacheRead);
    return dollars / 1'000'000.0;
}

}  // namespace vorla::Pricing
