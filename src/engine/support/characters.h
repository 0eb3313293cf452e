// User-perceived characters of UTF-8 text: extended grapheme clusters as
// ICU finds them, so "e" with a combining accent, a flag or a family emoji
// each count once. Pure functions; safe from any thread.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace vorla {

// The byte offsets at which the first `count` characters end, in order;
// fewer when the text has fewer characters. Invalid UTF-8 counts a character
// per bad byte. Empty when ICU cannot be used (its data missing).
[[nodiscard]] std::vector<std::size_t> characterEnds(std::string_view text, std::size_t count);

}  // namespace vorla
