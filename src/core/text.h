// Byte-level text helpers shared by the parsers. ASCII-only on purpose: the
// results must not change with the process locale (the desktop app sets one).
// Pure functions, safe from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vorla {

// `text` with A-Z turned into a-z; every other byte (UTF-8 included) as is.
[[nodiscard]] std::string asciiLower(std::string_view text);

// Case-blind ASCII comparison of a prefix (ids typed in either case).
[[nodiscard]] bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);

// `text` without leading and trailing spaces, tabs and line breaks.
[[nodiscard]] std::string_view trimmed(std::string_view text);

// Well-formed UTF-8: no stray continuation bytes, overlong forms, UTF-16
// surrogates, code points past U+10FFFF, or a sequence cut by the end.
[[nodiscard]] bool isValidUTF8(std::string_view text);

// The length of `text` without a multi-byte character cut off at its end
// (text read in pieces); the whole length when nothing is cut.
[[nodiscard]] std::size_t withoutCutCharacter(std::string_view text);

}  // namespace vorla
