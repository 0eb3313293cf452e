// The published state file ~/.vorla-agents/run/state.json: which sessions are
// live, what each does and which approvals wait. Other programs of the user
// poll it; nothing here reads it back.
//
// Main thread only (it reads sessions and gates). Writing never fails
// visibly: the next change or refresh tries again.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "engine/session/gates.h"
#include "engine/session/session.h"

namespace vorla {

// "idle", "working" or "waiting".
[[nodiscard]] std::string_view snapshotStatus(SpriteKind state);

// {"ts":…,"sessions":[…],"pending":[…]} with every key always present,
// compact. Printed straight to text: with a thousand gates waiting it is
// rebuilt often, and a DOM would cost thousands of allocations each time.
// Invalid UTF-8 in an agent's text is replaced rather than dropping the file.
[[nodiscard]] std::string snapshotText(const std::vector<std::shared_ptr<Session>>& sessions,
                                       const std::vector<std::shared_ptr<const Gate>>& gates,
                                       WallTime now);

// ~/.vorla-agents/run/state.json (follows $HOME at each call).
[[nodiscard]] std::string defaultSnapshotPath();

// Replaces the file atomically (mode 0600), creating the folder; the error
// says why it could not (the caller carries on; the next write tries again).
[[nodiscard]] Result<> writeSnapshot(const std::string& path, std::string_view text);

}  // namespace vorla
