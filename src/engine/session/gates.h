// One open approval question and the helpers the gate path shares.
//
// A Gate is immutable after creation and lives on the main thread in
// SessionStore::gates(); its box is shared with the server thread that waits.
#pragma once

#include <memory>
#include <string>

#include "engine/policy/risk_engine.h"
#include "engine/session/gate_box.h"
#include "engine/session/sprite_kind.h"
#include "engine/support/clock.h"

namespace vorla {

struct Gate {
    std::string id;         // the gating event's id
    std::string sessionID;  // the session that asked
    std::string toolName;   // "tool" when the event had none
    std::string detail;     // preview of the tool input, or ""
    SpriteKind kind = SpriteKind::needsApproval;
    RiskVerdict risk;
    WallTime openedAt;
    std::shared_ptr<GateBox> box;
};

}  // namespace vorla
