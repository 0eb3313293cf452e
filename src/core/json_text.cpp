#include "core/json_text.h"

// RapidJSON scans plain string runs 16 bytes at a time with SSE2 (baseline on
// x86-64) or NEON. Its aligned loads may touch bytes outside the buffer within
// one 16-byte block, harmless but reported by AddressSanitizer (an overflow)
// and ThreadSanitizer (a read of a neighbouring block freed on another
// thread), so sanitized builds use the byte loop.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VORLA_NO_RAPIDJSON_SIMD
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VORLA_NO_RAPIDJSON_SIMD
#endif
#if !defined(VORLA_NO_RAPIDJSON_SIMD)
#if defined(__SSE2__)
#define RAPIDJSON_SSE2
#elif defined(__ARM_NEON)
#define RAPIDJSON_NEON
#endif
#endif

#include <rapidjson/encodings.h>
#include <rapidjson/reader.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/json_repair.h"
#include "core/text.h"

namespace vorla {

namespace {

using Json = nlohmann::json;

// Receives RapidJSON's parse events and grows the nlohmann value in place.
// The stack holds the open containers; a child is pushed only once it sits in
// its parent, and nothing is added to a parent while a child is open, so the
// pointers stay valid.
class Builder {
  public:
    bool Null() { return put(Json(nullptr)); }
    bool Bool(bool value) { return put(Json(value)); }
    bool Int(int value) { return put(Json(static_cast<std::int64_t>(value))); }
    bool Uint(unsigned value) { return put(Json(static_cast<std::uint64_t>(value))); }
    bool Int64(std::int64_t value) { return put(Json(value)); }
    bool Uint64(std::uint64_t value) { return put(Json(value)); }
    bool Double(double value) { return put(Json(value)); }
    bool RawNumber(const char* /*text*/, rapidjson::SizeType /*length*/, bool /*copy*/) {
        return false;  // only with kParseNumbersAsStringsFlag, which is not used
    }
    bool String(const char* text, rapidjson::SizeType length, bool /*copy*/) {
        return put(Json(std::string(text, length)));
    }
    bool Key(const char* text, rapidjson::SizeType length, bool /*copy*/) {
        key_.assign(text, length);
        return true;
    }
    bool StartObject() { return open(Json::object()); }
    bool EndObject(rapidjson::SizeType /*members*/) { return close(); }
    bool StartArray() { return open(Json::array()); }
    bool EndArray(rapidjson::SizeType /*elements*/) { return close(); }

    Json take() { return std::move(root_); }

  private:
    Json& place(Json&& value) {
        if (stack_.empty()) {
            root_ = std::move(value);
            return root_;
        }
        Json& parent = *stack_.back();
        if (parent.is_array()) {
            return parent.emplace_back(std::move(value));
        }
        // A repeated key keeps its last value, as nlohmann's parser does.
        Json& slot = parent[key_];
        slot = std::move(value);
        return slot;
    }
    bool put(Json&& value) {
        place(std::move(value));
        return true;
    }
    bool open(Json&& container) {
        // Printing and comparing values recurse: a payload of a million '['
        // must not overflow a thread's stack later.
        if (stack_.size() >= kMaxJSONDepth) {
            return false;
        }
        stack_.push_back(&place(std::move(container)));
        return true;
    }
    bool close() {
        stack_.pop_back();
        return true;
    }

    Json root_;
    std::vector<Json*> stack_;
    std::string key_;
};

bool hasValidStrings(const Json& json) {
    switch (json.type()) {
        case Json::value_t::string:
            return isValidUTF8(json.get_ref<const std::string&>());
        case Json::value_t::array:
            for (const auto& element : json) {
                if (!hasValidStrings(element)) {
                    return false;
                }
            }
            return true;
        case Json::value_t::object:
            for (const auto& [name, element] : json.items()) {
                if (!isValidUTF8(name) || !hasValidStrings(element)) {
                    return false;
                }
            }
            return true;
        default:
            return true;
    }
}

// nlohmann's compact form with invalid UTF-8 replaced: the slow, careful path.
std::string dumpReplacing(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void appendEscape(std::string& out, unsigned char c) {
    switch (c) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\b':
            out += "\\b";
            return;
        case '\f':
            out += "\\f";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default: {
            constexpr std::string_view kHex = "0123456789abcdef";
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
            return;
        }
    }
}

// Whether any of eight bytes needs an escape: below 0x20, '"' or '\\'. The
// usual zero-byte test on the word and on it xored with each character; a
// byte at or above 0x80 never matches.
bool needsEscape(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    auto hasZeroByte = [](std::uint64_t x) { return (x - kOnes) & ~x & kHighs; };
    const std::uint64_t control = (word - 0x20 * kOnes) & ~word & kHighs;
    return (control | hasZeroByte(word ^ ('"' * kOnes)) | hasZeroByte(word ^ ('\\' * kOnes))) != 0;
}

// The same escapes as nlohmann's printer; runs that need none, nearly all of
// a file body, are appended whole, and found eight bytes at a time.
void appendString(std::string& out, std::string_view text) {
    out += '"';
    std::size_t run = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text.size() - i >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, text.data() + i, sizeof word);
            if (!needsEscape(word)) {
                i += 8;
                continue;
            }
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') {
            ++i;
            continue;
        }
        out.append(text.substr(run, i - run));
        appendEscape(out, c);
        run = ++i;
    }
    out.append(text.substr(run));
    out += '"';
}

// A double exactly as nlohmann prints it ("1764000000.0", "1e+100", NaN and
// infinities as null), through the routine its printer uses, without building
// a value and a printer for every number.
void appendDouble(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    std::array<char, 64> digits{};
    const char* end =
        nlohmann::detail::to_chars(digits.data(), digits.data() + digits.size(), value);
    out.append(digits.data(), static_cast<std::size_t>(end - digits.data()));
}

template <typename Integer>
void appendInteger(std::string& out, Integer value) {
    std::array<char, 24> digits{};
    auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    out.append(digits.data(), ec == std::errc() ? end : digits.data());
}

void appendValue(std::string& out, const Json& json) {
    switch (json.type()) {
        case Json::value_t::boolean:
            out += json.get<bool>() ? "true" : "false";
            return;
        case Json::value_t::number_integer:
            appendInteger(out, json.get<std::int64_t>());
            return;
        case Json::value_t::number_unsigned:
            appendInteger(out, json.get<std::uint64_t>());
            return;
        case Json::value_t::number_float:
            appendDouble(out, json.get<double>());
            return;
        case Json::value_t::string:
            appendString(out, json.get_ref<const std::string&>());
            return;
        case Json::value_t::array: {
            out += '[';
            const char* separator = "";
            for (const auto& element : json) {
                out += separator;
                separator = ",";
                appendValue(out, element);
            }
            out += ']';
            return;
        }
        case Json::value_t::object: {
            out += '{';
            const char* separator = "";
            for (const auto& [name, element] : json.items()) {
                out += separator;
                separator = ",";
                appendString(out, name);
                out += ':';
                appendValue(out, element);
            }
            out += '}';
            return;
        }
        default:  // null; binary and discarded values cannot come from text
            out += "null";
            return;
    }
}

}  // namespace

std::size_t approximateTextSize(const Json& value) {
    constexpr std::size_t kPerValue = 8;
    switch (value.type()) {
        case Json::value_t::string:
            return value.get_ref<const std::string&>().size() + kPerValue;
        case Json::value_t::array: {
            std::size_t total = kPerValue;
            for (const auto& element : value) {
                total += approximateTextSize(element);
            }
            return total;
        }
        case Json::value_t::object: {
            std::size_t total = kPerValue;
            for (const auto& [name, element] : value.items()) {
                total += name.size() + kPerValue + approximateTextSize(element);
            }
            return total;
        }
        default:
            return 3 * kPerValue;
    }
}

JSONTextWriter::JSONTextWriter(std::size_t expectedSize) {
    text_.reserve(expectedSize);
}

void JSONTextWriter::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!firstInContainer_.empty()) {
        if (!firstInContainer_.back()) {
            text_ += ',';
        }
        firstInContainer_.back() = false;
    }
}

void JSONTextWriter::open(char bracket) {
    separate();
    text_ += bracket;
    firstInContainer_.push_back(true);
}

void JSONTextWriter::close(char bracket) {
    text_ += bracket;
    firstInContainer_.pop_back();
}

void JSONTextWriter::key(std::string_view name) {
    value(name);
    text_ += ':';
    afterKey_ = true;
}

void JSONTextWriter::value(const Json& json) {
    separate();
    if (hasValidStrings(json)) {
        appendValue(text_, json);
    } else {
        text_ += dumpReplacing(json);
    }
}

void JSONTextWriter::value(std::string_view text) {
    separate();
    if (isValidUTF8(text)) {
        appendString(text_, text);
    } else {
        text_ += dumpReplacing(Json(std::string(text)));
    }
}

void JSONTextWriter::boolean(bool flag) {
    separate();
    text_ += flag ? "true" : "false";
}

void JSONTextWriter::number(double number) {
    separate();
    appendDouble(text_, number);
}

void JSONTextWriter::integer(std::int64_t number) {
    separate();
    appendInteger(text_, number);
}

std::string_view JSONTextWriter::text() const {
    return text_;
}

std::string JSONTextWriter::take() {
    firstInContainer_.clear();
    afterKey_ = false;
    return std::move(text_);
}

std::string writeJson(const Json& value) {
    JSONTextWriter writer(approximateTextSize(value));
    writer.value(value);
    return writer.take();
}

std::optional<nlohmann::json> parseJson(std::string text) {
    // Encoding is checked up front: the reader's own check works a byte at a
    // time and turns off its vectorised string scan.
    if (!isValidUTF8(text)) {
        return std::nullopt;
    }
    // Rare: a copy, only for text the reader would refuse although it is valid.
    if (mayNeedJSONRepair(text)) {
        text = repairedJSON(text);
    }
    // In place: escapes are undone inside `text` itself, so a large string is
    // copied once, into the value.
    // Not kParseFullPrecisionFlag: RapidJSON 1.1.0's full-precision strtod
    // reads past its table of powers on a number with hundreds of digits.
    constexpr unsigned kFlags = rapidjson::kParseInsituFlag | rapidjson::kParseIterativeFlag;
    const std::size_t size = text.size();
    rapidjson::InsituStringStream stream(text.data());
    rapidjson::Reader reader;
    Builder builder;
    if (reader.Parse<kFlags>(stream, builder).IsError()) {
        return std::nullopt;
    }
    // The stream reads a NUL byte as the end, so "{} \0 junk" would pass:
    // the whole text must have been consumed.
    if (stream.Tell() != size) {
        return std::nullopt;
    }
    return builder.take();
}

}  // namespace vorla
