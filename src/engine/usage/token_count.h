// Reading one token count out of an agent's usage record. Pure; safe from
// any thread.
#pragma once

#include <simdjson.h>

#include <cstdint>

namespace vorla {

// A JSON integer, or a whole non-negative double up to 9.2e18, as a count;
// anything else (missing, text, negative, fractional, too large) is 0, so a
// damaged record adds nothing rather than subtracting or overflowing.
[[nodiscard]] std::int64_t tokenCount(simdjson::simdjson_result<simdjson::dom::element> node);

}  // namespace vorla
