#include "engine/session/gate_decider.h"

namespace vorla {

GateOutcome GateDecider::atGate(std::string_view tool, std::string_view detail,
                                const RiskVerdict& verdict) {
    // A rule the user taught answers first, except that an allow rule does
    // not answer a call graded critical here: the rule store grades without
    // the working folder, and "settings.json" taught in a project must not
    // allow a write of it from ~/.claude or through a link to it.
    const bool allowBarred =
        verdict.level == Risk::critical && rules_.peek(tool, detail) == Behavior::allow;
    if (auto ruled = allowBarred ? std::nullopt : rules_.decision(tool, detail)) {
        return *ruled == Behavior::allow ? GateOutcome::ruleAllows : GateOutcome::ruleDenies;
    }
    if (prefs_.shouldAutoApprove(verdict.level)) {
        return GateOutcome::policyAllows;
    }
    return person_.canAnswerNow() ? GateOutcome::askPerson : GateOutcome::handBack;
}

GateOutcome GateDecider::atRuleCheck(std::string_view tool, std::string_view detail) {
    // Peek first so that an allow rule's hit is not counted here.
    if (rules_.peek(tool, detail) == Behavior::deny &&
        rules_.decision(tool, detail) == Behavior::deny) {
        return GateOutcome::ruleDenies;
    }
    return GateOutcome::handBack;
}

}  // namespace vorla
