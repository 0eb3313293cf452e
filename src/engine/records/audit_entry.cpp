#include "engine/records/audit_entry.h"

#include <simdjson.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <nlohmann/json.hpp>
#include <utility>

#include "engine/support/calendar.h"

namespace vorla {

namespace {

namespace od = simdjson::ondemand;

constexpr std::array<std::string_view, 5> kKindWords = {"tool", "approved", "denied",
                                                        "auto-allowed", "auto-denied"};

// The text members of an entry under their keys; all of them are required.
// "kind" has no member of its own: it is decoded by setKind.
struct TextField {
    std::string_view key;
    std::string AuditEntry::*member;
};
constexpr std::array<TextField, 6> kTextFields{{{"agent", &AuditEntry::agent},
                                                {"sessionID", &AuditEntry::sessionID},
                                                {"project", &AuditEntry::project},
                                                {"kind", nullptr},
                                                {"tool", &AuditEntry::tool},
                                                {"detail", &AuditEntry::detail}}};

// simdjson's error codes, tested in a condition: false on any mismatch.
template <typename Result, typename T>
[[nodiscard]] bool take(Result&& result, T& into) {
    return std::forward<Result>(result).get(into) == simdjson::SUCCESS;
}

// Fills `entry` from one object; false when the JSON is malformed, a required
// key is missing or any known key has the wrong type.
bool decodeObject(od::object object, AuditEntry& entry) {
    // One bit per required key: "ts", then the text fields in table order.
    constexpr unsigned kAll = (2U << kTextFields.size()) - 1;
    unsigned seen = 0;
    for (auto field : object) {
        std::string_view key;
        od::value value;
        if (!take(field.unescaped_key(), key) || !take(field.value(), value)) {
            return false;
        }
        if (key == "ts") {
            std::string_view text;
            if (!take(value.get_string(), text)) {
                return false;
            }
            auto when = parseISO8601(text);
            if (!when) {
                return false;
            }
            // Entries are whole seconds: written so, and keyed and compared so.
            entry.ts = std::chrono::floor<std::chrono::seconds>(*when);
            seen |= 1U;
        } else if (key == "risk") {
            bool null = false;
            if (!take(value.is_null(), null)) {
                return false;
            }
            if (null) {
                entry.risk.reset();
                continue;
            }
            double number = 0;
            if (!take(value.get_double(), number) || std::trunc(number) != number ||
                std::fabs(number) > 1e9) {
                return false;
            }
            entry.risk = static_cast<int>(number);
        } else if (key == "by") {
            std::string_view text;
            if (!take(value.get_string(), text)) {
                return false;
            }
            entry.by = std::string(text);
        } else {
            for (std::size_t i = 0; i < kTextFields.size(); ++i) {
                if (key == kTextFields[i].key) {
                    std::string_view text;
                    if (!take(value.get_string(), text)) {
                        return false;
                    }
                    if (kTextFields[i].member == nullptr) {
                        entry.setKind(text);
                    } else {
                        entry.*kTextFields[i].member = std::string(text);
                    }
                    seen |= 2U << i;
                    break;
                }
            }
        }
    }
    return seen == kAll;
}

std::optional<AuditEntry> decodeLine(od::parser& parser, const char* data, std::size_t length,
                                     std::size_t capacity) {
    // The parser stops after the object; text after it must not pass as part
    // of the line.
    std::string_view line(data, length);
    std::size_t last = line.find_last_not_of(" \t\r");
    if (last == std::string_view::npos || line[last] != '}') {
        return std::nullopt;
    }
    od::document document;
    od::object object;
    AuditEntry entry;
    if (!take(parser.iterate(data, length, capacity), document) ||
        !take(document.get_object(), object) || !decodeObject(object, entry)) {
        return std::nullopt;
    }
    return entry;
}

}  // namespace

std::string_view rawValue(AuditKind kind) {
    const auto index = static_cast<std::size_t>(kind);
    return index < kKindWords.size() ? kKindWords[index] : std::string_view();
}

std::string_view AuditEntry::kindText() const {
    return kind == AuditKind::other ? std::string_view(otherKind) : rawValue(kind);
}

void AuditEntry::setKind(std::string_view text) {
    const auto known = std::find(kKindWords.begin(), kKindWords.end(), text);
    kind = known == kKindWords.end() ? AuditKind::other
                                     : static_cast<AuditKind>(known - kKindWords.begin());
    otherKind = kind == AuditKind::other ? std::string(text) : std::string();
}

std::string AuditEntry::id() const {
    std::array<char, 64> digits{};
    auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(),
                                      toEpochSeconds(ts), std::chars_format::fixed);
    std::string seconds(digits.data(), error == std::errc() ? end : digits.data());
    if (seconds.find('.') == std::string::npos) {
        seconds += ".0";
    }
    return seconds + "-" + tool + "-" + sessionID;
}

std::string encodeAuditLine(const AuditEntry& entry) {
    nlohmann::ordered_json object = {
        {"ts", iso8601UTC(entry.ts)},
        {"agent", entry.agent},
        {"sessionID", entry.sessionID},
        {"project", entry.project},
        {"kind", std::string(entry.kindText())},
        {"tool", entry.tool},
        {"detail", entry.detail},
    };
    if (entry.risk) {
        object["risk"] = *entry.risk;
    }
    if (!entry.by.empty()) {
        object["by"] = entry.by;
    }
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void decodeAuditLines(std::string_view text, const std::function<void(AuditEntry&&)>& sink) {
    // Checked whole first (the usual case), line by line only when that fails:
    // one torn character must not cost the rest of the day.
    const bool allValid = simdjson::validate_utf8(text.data(), text.size());
    // One padded copy of the whole text lets every line be parsed in place.
    simdjson::padded_string padded(text);
    od::parser parser;
    const char* data = padded.data();
    const std::size_t size = padded.size();
    std::size_t start = 0;
    while (start < size) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = size;
        }
        if (end > start && (allValid || simdjson::validate_utf8(data + start, end - start))) {
            auto entry = decodeLine(parser, data + start, end - start,
                                    size - start + simdjson::SIMDJSON_PADDING);
            if (entry) {
                sink(std::move(*entry));
            }
        }
        start = end + 1;
    }
}

}  // namespace vorla
