// The phone page's view of the session store: one card per open gate, in the
// store's order, with the risk each gate was opened with. Main thread only
// (reads the store).
#pragma once

#include <vector>

#include "engine/phone/page.h"
#include "engine/session/session_store.h"

namespace vorla::phone {

[[nodiscard]] std::vector<GateCard> gateCards(const SessionStore& store);

}  // namespace vorla::phone
