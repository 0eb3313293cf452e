#include "core/json_value.h"

#include <array>
#include <charconv>
#include <cmath>

#include "core/json_text.h"

namespace vorla {

JSONValue::JSONValue(nlohmann::json json) : json_(std::move(json)) {
    // Binary and discarded values cannot come from text; treat them as null.
    if (json_.is_binary() || json_.is_discarded()) {
        json_ = nullptr;
    }
}

std::optional<JSONValue> JSONValue::parse(std::string_view text) {
    auto json = parseJson(std::string(text));
    if (!json) {
        return std::nullopt;
    }
    return JSONValue(std::move(*json));
}

JSONValue::Kind JSONValue::kind() const {
    switch (json_.type()) {
        case nlohmann::json::value_t::boolean:
            return Kind::boolean;
        case nlohmann::json::value_t::number_integer:
        case nlohmann::json::value_t::number_unsigned:
        case nlohmann::json::value_t::number_float:
            return Kind::number;
        case nlohmann::json::value_t::string:
            return Kind::string;
        case nlohmann::json::value_t::array:
            return Kind::array;
        case nlohmann::json::value_t::object:
            return Kind::object;
        default:
            return Kind::null;
    }
}

std::optional<std::string> JSONValue::stringValue() const {
    if (!json_.is_string()) {
        return std::nullopt;
    }
    return json_.get<std::string>();
}

std::optional<double> JSONValue::number() const {
    if (!json_.is_number()) {
        return std::nullopt;
    }
    return json_.get<double>();
}

std::optional<bool> JSONValue::boolValue() const {
    if (!json_.is_boolean()) {
        return std::nullopt;
    }
    return json_.get<bool>();
}

std::optional<JSONValue> JSONValue::operator[](std::string_view key) const {
    if (!json_.is_object()) {
        return std::nullopt;
    }
    auto it = json_.find(key);
    if (it == json_.end()) {
        return std::nullopt;
    }
    return JSONValue(*it);
}

std::string formatNumber(double value) {
    std::array<char, 64> buffer{};
    // Integral values below 2^53 print in full ("1764000000.0", not
    // "1.764e+09"); everything else takes the shortest round-trip form.
    const bool wholeNumber =
        std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9007199254740992.0;
    auto [end, ec] = wholeNumber
                         ? std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::fixed)
                         : std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (ec != std::errc()) {
        return "0.0";
    }
    std::string text(buffer.data(), end);
    if (text.find_first_of(".eEn") == std::string::npos) {  // n: nan, inf
        text += ".0";
    }
    return text;
}

namespace {

std::string previewOf(const nlohmann::json& json) {
    switch (json.type()) {
        case nlohmann::json::value_t::boolean:
            return json.get<bool>() ? "true" : "false";
        case nlohmann::json::value_t::number_integer:
        case nlohmann::json::value_t::number_unsigned:
        case nlohmann::json::value_t::number_float:
            return formatNumber(json.get<double>());
        case nlohmann::json::value_t::string:
            return json.get<std::string>();
        case nlohmann::json::value_t::array: {
            std::string joined;
            bool first = true;
            for (const auto& element : json) {
                if (!first) {
                    joined += ", ";
                }
                first = false;
                joined += previewOf(element);
            }
            return joined;
        }
        case nlohmann::json::value_t::object: {
            for (auto key : kPreviewKeys) {
                auto it = json.find(key);
                if (it != json.end()) {
                    return previewOf(*it);
                }
            }
            // Text typed into a running shell (Copilot CLI's write_bash) is
            // what the call does; its key names would hide it from the grade.
            if (auto typed = json.find("input"); typed != json.end() && typed->is_string()) {
                return typed->get<std::string>();
            }
            // nlohmann keeps object keys in a std::map: byte order, which for
            // UTF-8 is code-point order.
            std::string keys;
            bool first = true;
            for (const auto& item : json.items()) {
                if (!first) {
                    keys += ",";
                }
                first = false;
                keys += item.key();
            }
            return keys;
        }
        default:
            return "null";
    }
}

}  // namespace

std::string JSONValue::preview() const {
    return previewOf(json_);
}

std::string JSONValue::dump() const {
    return writeJson(json_);
}

}  // namespace vorla
