#include "engine/usage/pricing.h"

#include <array>
#include <string>

#include "core/text.h"
#include "engine/usage/transcript_scan.h"

namespace vorla::Pricing {

std::optional<Rates> rates(std::string_view model) {
    struct Rule {
        std::string_view word;
        Rates rates;
    };
    // First match decides, so a longer Gemini name comes before its prefix
    // ("flash-lite" before "flash"). Gemini at its rates for prompts up to
    // 200k tokens.
    static constexpr std::array<Rule, 13> kRules = {{
        {"fable", {25, 125}},
        {"opus", {15, 75}},
        {"haiku", {1, 5}},
        {"sonnet", {3, 15}},
        {"gpt", {5, 20}},
        {"codex", {5, 20}},
        {"gemini-3-pro", {2, 12}},
        {"gemini-3-flash", {0.5, 3}},
        {"gemini-2.5-pro", {1.25, 10}},
        {"gemini-2.5-flash-lite", {0.1, 0.4}},
        {"gemini-2.5-flash", {0.3, 2.5}},
        {"gemini-2.0-flash-lite", {0.075, 0.3}},
        {"gemini-2.0-flash", {0.1, 0.4}},
    }};
    std::string lower = asciiLower(model);
    for (const Rule& rule : kRules) {
        if (lower.find(rule.word) != std::string::npos) {
            return rule.rates;
        }
    }
    return std::nullopt;
}

std::optional<double> cost(const DayUsage& usage, std::string_view model) {
    std::optional<Rates> known = rates(model);
    if (!known) {
        return std::nullopt;
    }
    const Rates& r = *known;
    double dollars = r.input * static_cast<double>(usage.input) +
                     r.output * static_cast<double>(usage.output) +
                     1.25 * r.input * static_cast<double>(usage.cacheWrite) +
                     0.1 * r.input * static_cast<double>(usage.cacheRead);
    return dollars / 1'000'000.0;
}

}  // namespace vorla::Pricing
