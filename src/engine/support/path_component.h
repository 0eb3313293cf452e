// The last component of a path as shown to the user ("project" in records and
// the snapshot). Pure; safe on any thread.
#pragma once

#include <string>
#include <string_view>

namespace vorla {

// "/a/b" -> "b", "/a/b/" -> "b", "/" -> "/", "~" -> "~", "" -> "".
[[nodiscard]] std::string lastPathComponent(std::string_view path);

}  // namespace vorla
