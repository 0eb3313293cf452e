#include "engine/session/control_desk.h"

#include <algorithm>

#include "core/text.h"
#include "engine/policy/risk_engine.h"
#include "engine/session/state_snapshot.h"
#include "engine/support/log.h"
#include "engine/support/process_tree.h"

namespace vorla {

namespace {

using Json = nlohmann::json;

constexpr std::size_t kShownIDLength = 8;

// How `caller` comes from the agent waiting on `gate` ("runs under the agent
// that is waiting for approval"), or nullopt when it does not.
std::optional<std::string> selfAnswer(const Gate& gate, pid_t caller) {
    auto agent = gate.box->agent();
    if (!agent) {
        return std::nullopt;
    }
    if (runsUnder(caller, *agent)) {
        return "runs under the agent that is waiting for approval";
    }
    // Detached from the agent's tree (setsid, a double fork), it usually
    // still carries the agent's environment.
    if (carriesAnyOf(caller, gate.box->agentMarkers())) {
        return "carries the session marker of the agent that is waiting for approval";
    }
    return std::nullopt;
}

}  // namespace

ControlDesk::ControlDesk(SessionStore& store, RuleStore& rules, const Clock& clock)
    : store_(store), rules_(rules), clock_(clock) {}

Json ControlDesk::answer(std::string_view line, pid_t caller) {
    auto request = decodeRequest(line);
    if (!request) {
        return controlFailure(ControlFailure::badRequest, "not a request this app understands");
    }
    return answer(*request, caller);
}

Json ControlDesk::answer(const ControlRequest& request, pid_t caller) {
    switch (request.verb) {
        case ControlVerb::status:
            return status();
        case ControlVerb::decide:
            return decide(request, caller);
        case ControlVerb::rules:
            return rules();
        case ControlVerb::forget:
            return forget(request.key);
    }
    return controlFailure(ControlFailure::badRequest, "not a request this app understands");
}

Json ControlDesk::status() const {
    // Built from the snapshot's own text, so the two can never disagree.
    Json json =
        Json::parse(snapshotText(store_.sessions(), store_.gates(), clock_.now()), nullptr, false);
    if (!json.is_object()) {
        return controlFailure(ControlFailure::badRequest, "could not build the status");
    }
    auto& sessions = json["sessions"];
    for (std::size_t i = 0; i < sessions.size() && i < store_.sessions().size(); ++i) {
        const Session& session = *store_.sessions()[i];
        sessions[i]["state"] = rawValue(session.state());
        sessions[i]["tools"] = session.toolCount();
        if (session.context()) {
            sessions[i]["contextUsed"] = session.context()->used;
            sessions[i]["contextLimit"] = session.context()->limit;
        }
    }
    json["ok"] = true;
    return json;
}

Json ControlDesk::decide(const ControlRequest& request, pid_t caller) {
    std::vector<SessionStore::GateRef> matches;
    for (const auto& gate : store_.gates()) {
        if (gate->id == request.gate) {
            matches = {gate};
            break;
        }
        // Ids are UUIDs in capitals; people type them in either case.
        if (startsWithIgnoringCase(gate->id, request.gate)) {
            matches.push_back(gate);
        }
    }
    if (matches.empty()) {
        return controlFailure(ControlFailure::gone, "no pending approval matches '" + request.gate +
                                                        "' (already answered, or gone)");
    }
    if (matches.size() > 1) {
        std::string ids;
        for (const auto& gate : matches) {
            ids += (ids.empty() ? "" : ", ") + gate->id.substr(0, kShownIDLength);
        }
        return controlFailure(ControlFailure::ambiguous,
                              "'" + request.gate + "' matches " + std::to_string(matches.size()) +
                                  " pending approvals (" + ids + "); give more of the id");
    }
    const auto gate = matches.front();
    if (auto refusal = selfAnswer(*gate, caller)) {
        logLine("Vorla Agents: refused to " + std::string(rawValue(request.behavior)) + " " +
                gate->id + " for process " + std::to_string(caller) + ", which " + *refusal);
        return controlFailure(ControlFailure::selfAnswer,
                              "this command " + *refusal + " " +
                                  gate->id.substr(0, kShownIDLength) +
                                  "; an agent cannot answer its own approvals. Answer it from "
                                  "your own terminal, the island or your phone.");
    }
    Json reply = {{"ok", true},
                  {"id", gate->id},
                  {"tool", gate->toolName},
                  {"detail", gate->detail},
                  {"behavior", rawValue(request.behavior)}};
    if (request.always && request.behavior == Behavior::allow) {
        if (!alwaysAllowOffered(gate->risk.level)) {
            return controlFailure(ControlFailure::refused,
                                  "'always' is not offered for " +
                                      std::string(label(gate->risk.level)) + " calls (" +
                                      gate->risk.reasons.front() + "); allow it once instead");
        }
        if (auto why = rules_.add(gate->toolName, gate->detail, Behavior::allow)) {
            reply["notLearned"] = *why;  // allowed once: such a rule would allow any program
        } else {
            reply["rule"] = RiskEngine::ruleKey(gate->toolName, gate->detail);
        }
    }
    store_.resolveFromTerminal(gate->id, request.behavior);
    return reply;
}

Json ControlDesk::rules() const {
    return {{"ok", true}, {"rules", Json::parse(encodeRules(rules_.rules()))}};
}

Json ControlDesk::forget(const std::string& key) {
    const auto& all = rules_.rules();
    auto rule = std::find_if(all.begin(), all.end(), [&](const Rule& r) { return r.key == key; });
    if (rule == all.end()) {
        return controlFailure(ControlFailure::gone, "no learned rule '" + key + "'");
    }
    Rule removed = *rule;
    rules_.remove(removed);
    return {{"ok", true}, {"key", removed.key}, {"behavior", rawValue(removed.behavior)}};
}

}  // namespace vorla
