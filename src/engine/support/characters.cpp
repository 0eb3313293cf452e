#include "engine/support/characters.h"

#include <unicode/ubrk.h>
#include <unicode/utext.h>

#include <cstdint>
#include <memory>

namespace vorla {

std::vector<std::size_t> characterEnds(std::string_view text, std::size_t count) {
    std::vector<std::size_t> ends;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UText, UText* (*)(UText*)> utf8(
        utext_openUTF8(nullptr, text.data(), static_cast<std::int64_t>(text.size()), &status),
        &utext_close);
    std::unique_ptr<UBreakIterator, void (*)(UBreakIterator*)> breaks(
        ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status), &ubrk_close);
    if (U_SUCCESS(status)) {
        ubrk_setUText(breaks.get(), utf8.get(), &status);
    }
    if (U_FAILURE(status)) {
        return ends;
    }
    // Over UTF-8 text the iterator's offsets are byte offsets.
    for (std::int32_t end = ubrk_next(breaks.get()); end != UBRK_DONE && ends.size() < count;
         end = ubrk_next(breaks.get())) {
        ends.push_back(static_cast<std::size_t>(end));
    }
    return ends;
}

}  // namespace vorla
