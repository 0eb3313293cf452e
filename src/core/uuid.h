// Random (version 4) UUIDs from the kernel's random source.
#pragma once

#include <string>
#include <string_view>

namespace vorla {

// Canonical upper-case text form, e.g. "0B6E1B8C-3F0A-4C55-9A4E-2D1F7C9E5A10".
[[nodiscard]] std::string randomUUID();

// `text` has that form: 8-4-4-4-12 hexadecimal digits (either case) and dashes.
[[nodiscard]] bool isUUID(std::string_view text);

}  // namespace vorla
