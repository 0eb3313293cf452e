// Random (version 4) UUIDs from the kernel's random source.
#pragma once

#include <string>

namespace vorla {

// Canonical upper-case text form, e.g. "0B6E1B8C-3F0A-4C55-9A4E-2D1F7C9E5A10".
[[nodiscard]] std::string randomUUID();

}  // namespace vorla
