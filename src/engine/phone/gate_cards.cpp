#include "engine/phone/gate_cards.h"

#include <algorithm>

#include "engine/support/path_component.h"

namespace vorla::phone {

std::vector<GateCard> gateCards(const SessionStore& store) {
    std::vector<GateCard> cards;
    for (const SessionStore::GateRef& gate : store.gates()) {
        const auto& sessions = store.sessions();
        auto session = std::find_if(sessions.begin(), sessions.end(),
                                    [&](const auto& s) { return s->id() == gate->sessionID; });
        GateCard card;
        card.id = gate->id;
        card.toolName = gate->toolName;
        card.detail = gate->detail;
        card.agentName = "Agent";
        std::optional<std::string> cwd;
        if (session != sessions.end()) {
            card.agentName = std::string(displayName((*session)->source()));
            cwd = (*session)->cwd();
            card.project = lastPathComponent(*cwd);
        }
        RiskVerdict verdict = RiskEngine::assess(gate->toolName, gate->detail, cwd);
        card.risk = verdict.level;
        card.reasons = std::move(verdict.reasons);
        cards.push_back(std::move(card));
    }
    return cards;
}

}  // namespace vorla::phone
