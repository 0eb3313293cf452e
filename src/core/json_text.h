// JSON text in and out of nlohmann values, several times faster than
// nlohmann's own parser and printer on large strings (a 1 MB file body in a
// Write event crosses the bridge and the event server).
//
// RapidJSON does the parsing: iterative, so deep nesting cannot overflow the
// stack; doubles correctly rounded; plain runs of string bytes scanned 16 at
// a time; values built in place with no intermediate document. Printing gives
// exactly nlohmann's compact text, appending unescaped runs of a string whole
// rather than a byte at a time. Pure functions; a JSONTextWriter belongs to
// one thread.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorla {

// One JSON document filling the whole text (surrounding whitespace allowed).
// The text is taken by value because it is parsed in place: hand over a
// string that is no longer needed and it is not copied.
// Non-negative integers become unsigned, negative ones signed, anything with
// a fraction or exponent a double: the same kinds nlohmann's parser gives.
// nullopt for anything that is not exactly one valid UTF-8 document, and for
// nesting deeper than kMaxJSONDepth. Valid JSON a double cannot hold is still
// read (see json_repair.h): a lone surrogate escape gives U+FFFD, a number
// beyond a double's range the largest double of its sign.
[[nodiscard]] std::optional<nlohmann::json> parseJson(std::string text);

inline constexpr std::size_t kMaxJSONDepth = 512;

// Compact text for a value. Invalid UTF-8 inside strings is replaced by
// U+FFFD, never thrown.
[[nodiscard]] std::string writeJson(const nlohmann::json& value);

// Roughly how long the compact text of `value` is, without printing it:
// string lengths plus a little per value. Escapes make the real text longer.
[[nodiscard]] std::size_t approximateTextSize(const nlohmann::json& value);

// Compact JSON text built piece by piece, so that a large member can be
// printed where it lies instead of being copied into a new object first.
// Keys are written in the order given.
class JSONTextWriter {
  public:
    // `expectedSize` reserves room up front (see approximateTextSize), so a
    // large text is not regrown and copied on the way.
    explicit JSONTextWriter(std::size_t expectedSize = 0);

    void startObject() { open('{'); }
    void endObject() { close('}'); }
    void startArray() { open('['); }
    void endArray() { close(']'); }
    void key(std::string_view name);
    void value(const nlohmann::json& json);
    void value(std::string_view text);
    void boolean(bool flag);
    void number(double number);  // nlohmann's spelling of a double
    void integer(std::int64_t number);

    // The text so far, valid until the next call on the writer.
    [[nodiscard]] std::string_view text() const;
    // The text so far as a string; the writer is empty afterwards.
    [[nodiscard]] std::string take();

  private:
    void separate();  // the comma before every member or element but the first
    void open(char bracket);
    void close(char bracket);

    std::string text_;
    std::vector<bool> firstInContainer_;  // one per open object or array
    bool afterKey_ = false;
};

}  // namespace vorla
