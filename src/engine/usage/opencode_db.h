// Token usage from OpenCode's SQLite database, per day and model.
//
// The database belongs to OpenCode, which may be writing it right now: it is
// opened read-only with a short busy time-out and never written or locked
// for writing. Any thread; each call opens its own connection. Nothing is
// reported: a missing or foreign database gives an empty result, one that
// could not be read to the end (busy, damaged) none at all.
#pragma once

#include <optional>
#include <string>

#include "engine/support/clock.h"
#include "engine/usage/day_usage.h"

namespace vorla::OpenCodeDB {

// The assistant messages created since `since`, booked on the UTC day of
// their creation under the model that answered. nullopt when the database
// exists but could not be read to the end, so a partial count is never kept.
[[nodiscard]] std::optional<UsageBuckets> usage(const std::string& path, WallTime since);

}  // namespace vorla::OpenCodeDB
