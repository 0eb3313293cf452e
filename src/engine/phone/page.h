// The phone page: one self-refreshing HTML document listing the open gates as
// cards with Deny and Allow buttons. Pure functions; safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/policy/risk_engine.h"

namespace vorla::phone {

// What one card shows, gathered on the main thread from the session store.
struct GateCard {
    std::string id;         // the gate's identifier, posted back as "id"
    std::string agentName;  // display name, or "Agent" without a session
    std::string toolName;
    std::string project;  // last path component of the session's cwd
    Risk risk = Risk::normal;
    std::vector<std::string> reasons;
    std::string detail;
};

// "&", "<", ">" and the double quote as entities.
[[nodiscard]] std::string escapeHTML(std::string_view text);

// The colour of a risk's label on the card.
[[nodiscard]] std::string_view riskColour(Risk risk);

[[nodiscard]] std::string card(const GateCard& gate);

// The whole document; `token` goes into the script that posts decisions.
[[nodiscard]] std::string page(const std::vector<GateCard>& gates, std::string_view token);

}  // namespace vorla::phone
