// Well-formed JSON that RapidJSON's reader refuses, rewritten into text it
// takes: escapes of lone UTF-16 surrogates ("\ud800" without its partner)
// become "\ufffd", and numbers beyond a double's range become the largest
// finite double of their sign (or zero, for ones too small), so that the
// value prints back as valid JSON. Pure functions; safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace vorla {

// A fast, conservative test: false only when `text` holds neither a
// surrogate escape nor a number long enough to leave a double's range.
// True for text that merely looks like one (inside a string, say).
[[nodiscard]] bool mayNeedJSONRepair(std::string_view text);

// `text` with the rewrites above; everything else, invalid JSON included, is
// copied unchanged.
[[nodiscard]] std::string repairedJSON(std::string_view text);

}  // namespace vorla
