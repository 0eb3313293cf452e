#include "core/text.h"

#include <cstdint>
#include <cstring>

namespace vorla {

namespace {

char lowerByte(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Bytes in the sequence a lead byte starts; 0 for a byte that cannot lead.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

bool eightASCII(const char* at) {
    std::uint64_t word = 0;
    std::memcpy(&word, at, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
}

}  // namespace

std::string asciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = lowerByte(c);
    }
    return lower;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lowerByte(text[i]) != lowerByte(prefix[i])) {
            return false;
        }
    }
    return true;
}

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kSpace = " \t\n\r\v\f";
    const std::size_t first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(kSpace);
    return text.substr(first, last - first + 1);
}

namespace {

// The length of the well-formed sequence at `i`, or 0 when it is not one.
std::size_t validSequenceAt(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = sequenceLength(lead);
    if (length == 0 || length > text.size() - i) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0U) != 0x80U) {
            return 0;
        }
    }
    const auto second = length > 1 ? static_cast<unsigned char>(text[i + 1]) : 0;
    // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
        return 0;
    }
    return length;
}

char32_t decode(std::string_view sequence) {
    static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t point = static_cast<unsigned char>(sequence[0]) & kLeadBits[sequence.size()];
    for (std::size_t k = 1; k < sequence.size(); ++k) {
        point = (point << 6) | (static_cast<unsigned char>(sequence[k]) & 0x3FU);
    }
    return point;
}

// Characters that steer a terminal or the order text is shown in rather than
// being shown: C0, DEL, C1, the bidirectional embeddings, overrides,
// isolates and marks.
bool isSteering(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F || c == 0x061C;
}

std::string hex(unsigned value, int digits) {
    static constexpr std::string_view kDigits = "0123456789ABCDEF";
    std::string out(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) {
        out[static_cast<std::size_t>(i)] = kDigits[value & 0xFU];
    }
    return out;
}

void appendVisible(std::string& out, char32_t c, LineBreaks lineBreaks) {
    if (c == '\n') {
        out += lineBreaks == LineBreaks::keep ? "\n" : "\u21b5";  // ↵
    } else if (c == '\t') {
        out += "\u21e5";  // ⇥
    } else if (c < 0x20) {
        // The Control Pictures block holds one for each: ␛ for ESC, ␍ for CR.
        out += "\xe2\x90";
        out += static_cast<char>(0x80 + c);
    } else if (c == 0x7F) {
        out += "\u2421";  // ␡
    } else {
        out += "<U+" + hex(static_cast<unsigned>(c), 4) + ">";
    }
}

}  // namespace

bool isValidUTF8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        // ASCII, nearly all of a payload, is skipped eight bytes at a time.
        if (text.size() - i >= 8 && eightASCII(text.data() + i)) {
            i += 8;
            continue;
        }
        const std::size_t length = validSequenceAt(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string visibleText(std::string_view text, LineBreaks lineBreaks) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = validSequenceAt(text, i);
        if (length == 0) {
            out += "<0x" + hex(static_cast<unsigned char>(text[i]), 2) + ">";
            ++i;
            continue;
        }
        const std::string_view sequence = text.substr(i, length);
        const char32_t point = decode(sequence);
        if (isSteering(point)) {
            appendVisible(out, point, lineBreaks);
        } else {
            out += sequence;
        }
        i += length;
    }
    return out;
}

std::size_t withoutCutCharacter(std::string_view text) {
    const std::size_t end = text.size();
    // Look back over at most three continuation bytes for the lead byte.
    for (std::size_t back = 1; back <= 4 && back <= end; ++back) {
        const auto byte = static_cast<unsigned char>(text[end - back]);
        if ((byte & 0xC0U) == 0x80U) {
            continue;
        }
        return sequenceLength(byte) > back ? end - back : end;
    }
    return end;
}

}  // namespace vorla
