#include "engine/policy/rule_store.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "core/paths.h"
#include "engine/policy/risk_engine.h"
#include "engine/support/calendar.h"

namespace vorla {

namespace {

using Json = nlohmann::json;

// Whole numbers written as 3.0 by another tool still count as integers.
std::optional<std::int64_t> wholeNumber(const Json& value) {
    if (value.is_number_integer()) {
        return value.get<std::int64_t>();
    }
    if (value.is_number_float()) {
        double number = value.get<double>();
        if (std::isfinite(number) && std::trunc(number) == number && std::fabs(number) < 9e15) {
            return static_cast<std::int64_t>(number);
        }
    }
    return std::nullopt;
}

std::optional<Rule> decodeRule(const Json& object) {
    if (!object.is_object()) {
        return std::nullopt;
    }
    auto key = object.find("key");
    auto behavior = object.find("behavior");
    auto createdAt = object.find("createdAt");
    auto timesFired = object.find("timesFired");
    if (key == object.end() || !key->is_string() || behavior == object.end() ||
        !behavior->is_string() || createdAt == object.end() || !createdAt->is_number() ||
        timesFired == object.end()) {
        return std::nullopt;
    }
    auto fired = wholeNumber(*timesFired);
    if (!fired) {
        return std::nullopt;
    }
    // Only the exact word allows: a hand-edited "Allow" must not widen a rule.
    const Behavior answer = behavior->get<std::string>() == rawValue(Behavior::allow)
                                ? Behavior::allow
                                : Behavior::deny;
    return Rule{key->get<std::string>(), answer, fromReferenceSeconds(createdAt->get<double>()),
                *fired};
}

}  // namespace

std::string encodeRules(const std::vector<Rule>& rules) {
    Json array = Json::array();
    for (const Rule& rule : rules) {
        array.push_back({{"key", rule.key},
                         {"behavior", rawValue(rule.behavior)},
                         {"createdAt", toReferenceSeconds(rule.createdAt)},
                         {"timesFired", rule.timesFired}});
    }
    return array.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<std::vector<Rule>> decodeRules(std::string_view text) {
    Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_array()) {
        return std::nullopt;
    }
    std::vector<Rule> rules;
    for (const Json& element : json) {
        auto rule = decodeRule(element);
        if (!rule) {
            return std::nullopt;
        }
        rules.push_back(std::move(*rule));
    }
    return rules;
}

std::string RuleStore::defaultPath() {
    return dataDir() + "/rules.json";
}

RuleStore::RuleStore(const Clock& clock, std::string path)
    : clock_(clock), file_(std::move(path), clock) {
    load();
}

void RuleStore::setRules(std::vector<Rule> rules) {
    if (assignIfChanged(rules_, std::move(rules))) {
        changes_.notify();
    }
}

std::optional<std::string> RuleStore::add(std::string_view tool, std::string_view detail,
                                          Behavior behavior) {
    if (behavior == Behavior::allow) {
        if (auto reason = RiskEngine::unlearnableReason(tool, detail)) {
            return reason;
        }
    }
    std::string key = RiskEngine::ruleKey(tool, detail);
    if (withKey(key) != rules_.end()) {
        return std::nullopt;
    }
    rules_.push_back(Rule{std::move(key), behavior, clock_.now(), 0});
    save();
    changes_.notify();
    return std::nullopt;
}

std::vector<Rule>::const_iterator RuleStore::withKey(std::string_view key) const {
    return std::find_if(rules_.begin(), rules_.end(), [&](const Rule& r) { return r.key == key; });
}

std::vector<Rule>::const_iterator RuleStore::answering(std::string_view tool,
                                                       std::string_view detail) const {
    if (rules_.empty()) {
        return rules_.end();
    }
    auto rule = withKey(RiskEngine::ruleKey(tool, detail));
    if (rule != rules_.end() && rule->behavior == Behavior::deny) {
        return rule;
    }
    // Deny rules may only make things safer: they also stop a compound that
    // contains the command they name.
    for (const std::string& key : RiskEngine::commandRuleKeys(tool, detail)) {
        auto deny = withKey(key);
        if (deny != rules_.end() && deny->behavior == Behavior::deny) {
            return deny;
        }
    }
    if (rule != rules_.end() && RiskEngine::allowRuleMayAnswer(tool, detail)) {
        return rule;
    }
    return rules_.end();
}

std::optional<Behavior> RuleStore::peek(std::string_view tool, std::string_view detail) const {
    auto rule = answering(tool, detail);
    if (rule == rules_.end()) {
        return std::nullopt;
    }
    return rule->behavior;
}

std::optional<Behavior> RuleStore::decision(std::string_view tool, std::string_view detail) {
    auto found = answering(tool, detail);
    if (found == rules_.end()) {
        return std::nullopt;
    }
    Rule& rule = rules_[static_cast<std::size_t>(found - rules_.cbegin())];
    ++rule.timesFired;
    const Behavior answer = rule.behavior;
    save();
    changes_.notify();
    return answer;
}

void RuleStore::remove(const Rule& rule) {
    std::erase_if(rules_, [&](const Rule& r) { return r.key == rule.key; });
    save();
    changes_.notify();
}

void RuleStore::load() {
    auto contents = file_.read();
    if (!contents) {
        return;
    }
    auto rules = decodeRules(*contents);
    if (!rules) {
        file_.markUndecodable();
        return;
    }
    setRules(std::move(*rules));
}

void RuleStore::save() {
    (void)file_.write(encodeRules(rules_));
}

}  // namespace vorla
