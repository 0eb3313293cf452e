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
        if (session != sessions.end()) {
            card.agentName = std::string(displayName((*session)->source()));
            card.project = lastPathComponent((*session)->cwd());
        }
        // The verdict the gate was opened with: it graded the whole tool input
        // in the session's folder, where the stored detail is only a preview.
        card.risk = gate->risk.level;
        card.reasons = gate->risk.reasons;
        cards.push_back(std::move(card));
    }
    return cards;
}

}  // namespace vorla::phone
