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

enum class LineBreaks { show, keep };

// Text from an agent (a command, a path, a message) made safe to print on a
// terminal or put on a screen: nothing in it can move the cursor, clear or
// recolour the screen, or reorder what is shown. Line feeds become "↵" (or
// stay, with LineBreaks::keep, where the text is shown in a block of its
// own), tabs "⇥", other C0 controls and DEL their Control Pictures ("␛",
// "␍", "␡"), C1 controls and the bidirectional controls "<U+202E>", and each
// byte that is not well-formed UTF-8 "<0xFF>". Everything else stays as it is.
[[nodiscard]] std::string visibleText(std::string_view text,
                                      LineBreaks lineBreaks = LineBreaks::show);

// The length of `text` without a multi-byte character cut off at its end
// (text read in pieces); the whole length when nothing is cut.
[[nodiscard]] std::size_t withoutCutCharacter(std::string_view text);

}  // namespace vorla
