// SHA-256 as lowercase hex: for identities another program checks (Codex's
// trusted hooks) and for keys that must not collide by accident or by design
// (the usage cache's window key). A pure function; any thread.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace vorla {

// 64 lowercase hex digits.
[[nodiscard]] std::string sha256Hex(std::string_view text);

// The digest of the parts one after the other, without joining them first.
[[nodiscard]] std::string sha256Hex(std::initializer_list<std::string_view> parts);

}  // namespace vorla
