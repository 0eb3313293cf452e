// Short forms of token counts for display: 950, 1.3k, 2.5M, 1.2B.
#pragma once

#include <cstdint>
#include <string>

namespace vorla::Int {

[[nodiscard]] std::string compact(std::int64_t value);

}  // namespace vorla::Int
