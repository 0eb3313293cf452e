// What answers a gate before anyone is asked, in a fixed order: a learned
// rule, then the auto-approve level, then a person if one can answer now.
// The session store acts on the outcome (answers the box, records, queues);
// the decider only reads the rules and the preferences and counts rule hits.
//
// Main thread only: the rule store and the preferences it reads live there.
#pragma once

#include <string_view>

#include "engine/policy/prefs.h"
#include "engine/policy/risk_engine.h"
#include "engine/policy/rule_store.h"

namespace vorla {

// Whether anyone (the window, the phone page, a terminal holding the gate)
// can answer a gate now. Asked only for a gate no rule or policy answered.
class PersonAsk {
  public:
    virtual ~PersonAsk() = default;
    [[nodiscard]] virtual bool canAnswerNow() = 0;
};

enum class GateOutcome {
    ruleAllows,    // a learned allow rule answers (its hit counted)
    ruleDenies,    // a learned deny rule answers (its hit counted)
    policyAllows,  // the auto-approve level covers the verdict
    askPerson,     // the gate waits for a person
    handBack,      // nobody can answer here: the agent asks in its own terminal
};

class GateDecider {
  public:
    // All three must outlive the decider.
    GateDecider(RuleStore& rules, const Prefs& prefs, PersonAsk& person)
        : rules_(rules), prefs_(prefs), person_(person) {}

    // A gate of (tool, detail) graded `verdict`: the rule that answers it
    // (counting the hit; an allow rule never answers a critical verdict),
    // else the policy, else a person, else hand back.
    [[nodiscard]] GateOutcome atGate(std::string_view tool, std::string_view detail,
                                     const RiskVerdict& verdict);

    // A pre-tool-use check, which must never send an allow: ruleDenies when
    // a deny rule answers (counting its hit), otherwise handBack. An allow
    // rule counts nothing here; it answers the permission request, if one
    // comes.
    [[nodiscard]] GateOutcome atRuleCheck(std::string_view tool, std::string_view detail);

  private:
    RuleStore& rules_;
    const Prefs& prefs_;
    PersonAsk& person_;
};

}  // namespace vorla
