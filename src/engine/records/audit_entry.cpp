#include "engine/records/audit_entry.h"

#include <simdjson.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <nlohmann/json.hpp>

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

// Fills `entry` from one object; false when a required key is missing or
// any known key has the wrong type. Throws simdjson_error on malformed JSON.
bool decodeObject(od::object object, AuditEntry& entry) {
    // One bit per required key: "ts", then the text fields in table order.
    constexpr unsigned kAll = (2U << kTextFields.size()) - 1;
    unsigned seen = 0;
    for (auto field : object) {
        std::string_view key = field.unescaped_key();
        od::value value = field.value();
        if (key == "ts") {
            auto when = parseISO8601(std::string_view(value.get_string()));
            if (!when) {
                return false;
            }
            // Entries are whole seconds: written so, and keyed and compared so.
            entry.ts = std::chrono::floor<std::chrono::seconds>(*when);
            seen |= 1U;
        } else if (key == "risk") {
            if (value.is_null()) {
                entry.risk.reset();
                continue;
            }
            double number = value.get_double();
            if (std::trunc(number) != number || std::fabs(number) > 1e9) {
                return false;
            }
            entry.risk = static_cast<int>(number);
        } else if (key == "by") {
            entry.by = std::string(std::string_view(value.get_string()));
        } else {
            for (std::size_t i = 0; i < kTextFields.size(); ++i) {
                if (key == kTextFields[i].key) {
                    const std::string_view text = value.get_string();
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
    try {
        od::document document = parser.iterate(data, length, capacity);
        AuditEntry entry;
        if (!decodeObject(document.get_object(), entry)) {
            return std::nullopt;
        }
        return entry;
    } catch (const simdjson::simdjson_error&) {
        return std::nullopt;
    }
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
