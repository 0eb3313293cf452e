// Answers the requests of the `vorla-agents` subcommands (control_protocol.h)
// from the live store and the learned rules, so that a terminal sees and
// changes exactly what the window would, as long as it is not the agent
// itself asking.
//
// Main thread only; the store and the rules must outlive the desk.
#pragma once

#include <sys/types.h>

#include <nlohmann/json.hpp>

#include "engine/policy/rule_store.h"
#include "engine/session/control_protocol.h"
#include "engine/session/session_store.h"
#include "engine/support/clock.h"

namespace vorla {

class ControlDesk {
  public:
    ControlDesk(SessionStore& store, RuleStore& rules, const Clock& clock);

    // The reply object for one request line from the process `caller`; a
    // line that is no request gets a "bad-request" failure.
    [[nodiscard]] nlohmann::json answer(std::string_view line, pid_t caller);
    [[nodiscard]] nlohmann::json answer(const ControlRequest& request, pid_t caller);

  private:
    // state.json's objects, with each session's state, tool count and
    // context use added.
    [[nodiscard]] nlohmann::json status() const;
    // Allow or deny like the island's buttons (no reason text); with
    // `always`, learn the allow rule first, refused above normal risk.
    // Refused to a caller that runs under the agent waiting on the gate: an
    // agent must not answer its own question.
    [[nodiscard]] nlohmann::json decide(const ControlRequest& request, pid_t caller);
    [[nodiscard]] nlohmann::json rules() const;
    [[nodiscard]] nlohmann::json forget(const std::string& key);

    SessionStore& store_;
    RuleStore& rules_;
    const Clock& clock_;
};

// Whether "always allow" is offered for a gate of this risk (as on the island).
[[nodiscard]] constexpr bool alwaysAllowOffered(Risk risk) {
    return risk == Risk::trivial || risk == Risk::normal;
}

}  // namespace vorla
