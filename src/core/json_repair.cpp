#include "core/json_repair.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

namespace vorla {

namespace {

// RapidJSON gives up on an integer part this long even when an exponent
// would bring the value back into range.
constexpr std::size_t kLongDigitRun = 300;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isExponentMark(char c) {
    return c == 'e' || c == 'E';
}

constexpr std::uint64_t kEveryByteOne = 0x0101010101010101ULL;
constexpr std::uint64_t kEveryByteHigh = 0x8080808080808080ULL;

// The top bit of every byte of `word` that is an ASCII digit. Bytes are
// compared with their top bit masked off, so no addition carries into the
// next byte; bytes at or above 0x80 never count.
std::uint64_t digitBytes(std::uint64_t word) {
    const std::uint64_t low = word & ~kEveryByteHigh;
    const std::uint64_t atLeastZero = (low + (0x80 - '0') * kEveryByteOne) & kEveryByteHigh;
    const std::uint64_t pastNine = (low + (0x80 - ('9' + 1)) * kEveryByteOne) & kEveryByteHigh;
    return atLeastZero & ~pastNine & ~word;
}

// The top bit of every byte that is a backslash, and possibly of bytes above
// one (the borrow of the zero-byte test): exact about whether there is any.
std::uint64_t backslashBytes(std::uint64_t word) {
    const std::uint64_t x = word ^ ('\\' * kEveryByteOne);
    return (x - kEveryByteOne) & ~x & kEveryByteHigh;
}

// The code unit of a "\uXXXX" escape starting at `at`.
std::optional<unsigned> escapedUnitAt(std::string_view text, std::size_t at) {
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') {
        return std::nullopt;
    }
    unsigned unit = 0;
    const char* first = text.data() + at + 2;
    auto [end, error] = std::from_chars(first, first + 4, unit, 16);
    if (error != std::errc() || end != first + 4) {
        return std::nullopt;
    }
    return unit;
}

bool isSurrogate(unsigned unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

bool isHighSurrogate(unsigned unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// Copies the string whose opening quote is at `at`, replacing lone surrogate
// escapes. Returns the index after its closing quote.
std::size_t copyString(std::string_view text, std::size_t at, std::string& out) {
    out += '"';
    std::size_t i = at + 1;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            out += c;
            return i + 1;
        }
        if (c != '\\') {
            out += c;
            ++i;
            continue;
        }
        auto unit = escapedUnitAt(text, i);
        if (!unit || !isSurrogate(*unit)) {
            // Escapes are copied whole, so an escaped quote does not end the string.
            const std::size_t length = std::min<std::size_t>(2, text.size() - i);
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        auto next = escapedUnitAt(text, i + 6);
        if (isHighSurrogate(*unit) && next && isSurrogate(*next) && !isHighSurrogate(*next)) {
            out.append(text.substr(i, 12));
            i += 12;
            continue;
        }
        out += "\\ufffd";
        i += 6;
    }
    return i;
}

struct NumberShape {
    std::size_t integerDigits = 0;
    std::int64_t power = 0;  // of ten, at the leading significant digit
};

// The shape of a JSON number token; nullopt when it is not one.
std::optional<NumberShape> numberShape(std::string_view token) {
    std::size_t i = token.empty() || token.front() != '-' ? 0 : 1;
    const std::size_t start = i;
    while (i < token.size() && isDigit(token[i])) {
        ++i;
    }
    NumberShape shape;
    shape.integerDigits = i - start;
    if (shape.integerDigits == 0 || (shape.integerDigits > 1 && token[start] == '0')) {
        return std::nullopt;
    }
    shape.power = static_cast<std::int64_t>(shape.integerDigits) - 1;
    const bool zeroInteger = token[start] == '0';
    if (i < token.size() && token[i] == '.') {
        const std::size_t fraction = ++i;
        while (i < token.size() && isDigit(token[i])) {
            ++i;
        }
        if (i == fraction) {
            return std::nullopt;
        }
        if (zeroInteger) {
            std::size_t zeros = 0;
            while (fraction + zeros < i && token[fraction + zeros] == '0') {
                ++zeros;
            }
            shape.power = -1 - static_cast<std::int64_t>(zeros);
        }
    }
    if (i < token.size() && isExponentMark(token[i])) {
        ++i;
        const bool negative = i < token.size() && token[i] == '-';
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
            ++i;
        }
        const std::size_t digits = i;
        std::int64_t exponent = 0;
        constexpr std::int64_t kSaturated = std::int64_t{1} << 40;
        for (; i < token.size() && isDigit(token[i]); ++i) {
            exponent = std::min(kSaturated, exponent * 10 + (token[i] - '0'));
        }
        if (i == digits) {
            return std::nullopt;
        }
        shape.power += negative ? -exponent : exponent;
    }
    if (i != token.size()) {
        return std::nullopt;
    }
    return shape;
}

// The value to write instead of `token`, when RapidJSON would refuse it.
std::optional<double> replacementFor(std::string_view token) {
    auto shape = numberShape(token);
    if (!shape) {
        return std::nullopt;
    }
    double value = 0;
    auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error == std::errc::result_out_of_range) {
        const double magnitude = shape->power > 0 ? std::numeric_limits<double>::max() : 0.0;
        return token.front() == '-' ? -magnitude : magnitude;
    }
    if (error == std::errc() && end == token.data() + token.size() &&
        shape->integerDigits >= kLongDigitRun) {
        return value;
    }
    return std::nullopt;
}

void appendShortestDouble(std::string& out, double value) {
    if (value == 0) {
        out += std::signbit(value) ? "-0.0" : "0.0";  // "0" would read back as an integer
        return;
    }
    char digits[32];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

bool isNumberChar(char c) {
    return isDigit(c) || c == '-' || c == '+' || c == '.' || isExponentMark(c);
}

std::size_t copyNumber(std::string_view text, std::size_t at, std::string& out) {
    std::size_t end = at;
    while (end < text.size() && isNumberChar(text[end])) {
        ++end;
    }
    const std::string_view token = text.substr(at, end - at);
    if (auto value = replacementFor(token)) {
        appendShortestDouble(out, *value);
    } else {
        out.append(token);
    }
    return end;
}

bool followsExponentMark(std::string_view text, std::size_t start) {
    if (start >= 1 && isExponentMark(text[start - 1])) {
        return true;
    }
    return start >= 2 && (text[start - 1] == '+' || text[start - 1] == '-') &&
           isExponentMark(text[start - 2]);
}

}  // namespace

bool mayNeedJSONRepair(std::string_view text) {
    const std::size_t size = text.size();
    std::size_t run = 0;  // the digit run ending just before i
    // Byte by byte, for the tail and for words where a run may get long.
    auto digitStep = [&](std::size_t at) {
        if (!isDigit(text[at])) {
            run = 0;
            return false;
        }
        ++run;
        // Three exponent digits are the least that can leave the range.
        return run >= kLongDigitRun || (run == 3 && followsExponentMark(text, at - 2));
    };
    auto surrogateEscapeAt = [&](std::size_t at) {
        auto unit = escapedUnitAt(text, at);
        return unit && isSurrogate(*unit);
    };
    std::size_t i = 0;
    // Eight bytes at a time: most words hold neither a backslash nor three digits.
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, sizeof word);
        const std::uint64_t digits = digitBytes(word);
        std::uint64_t slashes = backslashBytes(word);
        if ((digits | slashes) == 0) {
            run = 0;
            continue;
        }
        for (; slashes != 0; slashes &= slashes - 1) {
            if (surrogateEscapeAt(i + static_cast<std::size_t>(std::countr_zero(slashes)) / 8)) {
                return true;
            }
        }
        const auto leading =
            static_cast<std::size_t>(std::countr_zero(~digits & kEveryByteHigh)) / 8;
        if ((digits & (digits << 8) & (digits << 16)) != 0 || (run > 0 && run + leading >= 3)) {
            for (std::size_t at = i; at < i + 8; ++at) {
                if (digitStep(at)) {
                    return true;
                }
            }
            continue;
        }
        const auto trailing =
            static_cast<std::size_t>(std::countl_zero(~digits & kEveryByteHigh)) / 8;
        run = trailing == 8 ? run + 8 : trailing;
    }
    for (; i < size; ++i) {
        if (digitStep(i) || (text[i] == '\\' && surrogateEscapeAt(i))) {
            return true;
        }
    }
    return false;
}

std::string repairedJSON(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            i = copyString(text, i, out);
        } else if (c == '-' || isDigit(c)) {
            i = copyNumber(text, i, out);
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

}  // namespace vorla
