// Learned rules: "always allow" answers keyed by the tool and the first two
// words of its detail, kept in ~/.vorla-agents/data/rules.json.
//
// Main thread only. Every change is saved at once, synchronously; a failed
// save is ignored and the list in memory stays authoritative. A rules file
// that cannot be read or decoded loads as no rules and is kept beside the new
// one as rules.json.corrupt-<UTC stamp> when the store first saves.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/protocol.h"
#include "engine/support/clock.h"
#include "engine/support/data_file.h"
#include "engine/support/observable.h"

namespace vorla {

struct Rule {
    std::string key;  // RiskEngine::ruleKey of the tool and detail; unique in the store
    Behavior behavior = Behavior::deny;  // file: "allow" or "deny"; any other text reads as deny
    WallTime createdAt;                  // file: seconds since 2001-01-01 00:00:00 UTC
    std::int64_t timesFired = 0;

    [[nodiscard]] const std::string& id() const { return key; }
    friend bool operator==(const Rule&, const Rule&) = default;
};

// The file format: a compact JSON array of objects with all four keys.
// Decoding fails as a whole (nullopt) when any rule lacks a key or has one of
// the wrong type.
[[nodiscard]] std::string encodeRules(const std::vector<Rule>& rules);
[[nodiscard]] std::optional<std::vector<Rule>> decodeRules(std::string_view text);

class RuleStore {
  public:
    // ~/.vorla-agents/data/rules.json
    [[nodiscard]] static std::string defaultPath();

    // Starts empty, then loads `path`.
    explicit RuleStore(const Clock& clock = SystemClock::shared(),
                       std::string path = defaultPath());

    [[nodiscard]] const std::vector<Rule>& rules() const { return rules_; }
    // Replaces the list without saving.
    void setRules(std::vector<Rule> rules);

    // Appends a rule for the key of (tool, detail) unless one exists, and saves.
    // An allow rule is not learned when its key would allow any program
    // (python3 -c, npx, sudo ...): the reason is returned instead, for the
    // caller to show ("python3 -c runs whatever code follows it").
    std::optional<std::string> add(std::string_view tool, std::string_view detail,
                                   Behavior behavior);

    // The rule that answers (tool, detail), if any: counts the hit, saves,
    // and answers allow only for a behavior of exactly "allow". A deny rule
    // answers when it has the key of the call or of any simple command in it;
    // an allow rule only when RiskEngine::allowRuleMayAnswer says so, so a
    // rule taught on "git status" does not answer "git status && rm -rf ~".
    [[nodiscard]] std::optional<Behavior> decision(std::string_view tool, std::string_view detail);
    // The same answer without counting a hit or saving.
    [[nodiscard]] std::optional<Behavior> peek(std::string_view tool,
                                               std::string_view detail) const;

    // Removes every rule sharing `rule`'s key, and saves.
    void remove(const Rule& rule);

    // Called after every change of rules().
    [[nodiscard]] Subscription subscribe(std::function<void()> onChange) {
        return changes_.subscribe(std::move(onChange));
    }

  private:
    [[nodiscard]] std::vector<Rule>::const_iterator answering(std::string_view tool,
                                                              std::string_view detail) const;
    [[nodiscard]] std::vector<Rule>::const_iterator withKey(std::string_view key) const;
    void load();
    void save();

    const Clock& clock_;
    DataFile file_;
    std::vector<Rule> rules_;
    ChangeNotifier changes_;
};

}  // namespace vorla
