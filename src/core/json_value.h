// JSONValue: any JSON value, as carried in hook payloads and tool inputs.
//
// A plain value type, safe to copy between threads. It wraps nlohmann::json so
// that integers keep their exact text when re-encoded; every number reads as a
// double through number(), as the rest of the system expects.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace vorla {

class JSONValue {
  public:
    enum class Kind { null, boolean, number, string, array, object };

    JSONValue() = default;  // null
    explicit JSONValue(nlohmann::json json);

    // Parses one JSON document. Returns nullopt for text that is not JSON.
    [[nodiscard]] static std::optional<JSONValue> parse(std::string_view text);

    [[nodiscard]] Kind kind() const;
    [[nodiscard]] bool isNull() const { return json_.is_null(); }

    // The payload of a string; absent for every other kind.
    [[nodiscard]] std::optional<std::string> stringValue() const;
    // The payload of a number as a double; absent for every other kind.
    [[nodiscard]] std::optional<double> number() const;
    // The payload of a boolean; absent for every other kind.
    [[nodiscard]] std::optional<bool> boolValue() const;
    // The member of an object under `key`; absent for a missing key and for
    // every kind other than object.
    [[nodiscard]] std::optional<JSONValue> operator[](std::string_view key) const;

    // One line describing the value for display (see json_value.cpp); no
    // length limit, shortening is the caller's business.
    [[nodiscard]] std::string preview() const;

    // Compact JSON text. Invalid UTF-8 inside strings is replaced, never thrown.
    [[nodiscard]] std::string dump() const;

    [[nodiscard]] const nlohmann::json& json() const { return json_; }
    // Hands the value over without copying it (a large tool input).
    [[nodiscard]] nlohmann::json release() && { return std::move(json_); }

    friend bool operator==(const JSONValue& a, const JSONValue& b) { return a.json_ == b.json_; }

  private:
    nlohmann::json json_;
};

// Keys that name what a tool is about to touch, in the order preview() tries them.
// OpenCode names its files filePath and its patches patchText, Gemini CLI its
// folders dir_path.
inline constexpr std::string_view kPreviewKeys[] = {
    "command", "file_path", "filePath", "path", "dir_path", "pattern", "url", "patchText"};

// Shortest text that reads back to the same double, with ".0" after an
// integral value (3 -> "3.0", 2.5 -> "2.5").
[[nodiscard]] std::string formatNumber(double value);

}  // namespace vorla
