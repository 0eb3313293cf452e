#include "engine/usage/usage_cache.h"

#include <simdjson.h>

#include <charconv>
#include <nlohmann/json.hpp>

#include "core/paths.h"
#include "engine/support/calendar.h"

namespace vorla {

namespace {

namespace od = simdjson::ondemand;

void appendQuoted(std::string& out, std::string_view text) {
    out += nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void appendNumber(std::string& out, auto value) {
    char digits[24];
    auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, end);
}

void appendUsage(std::string& out, const DayUsage& usage) {
    out += "{\"input\":";
    appendNumber(out, usage.input);
    out += ",\"output\":";
    appendNumber(out, usage.output);
    out += ",\"cacheWrite\":";
    appendNumber(out, usage.cacheWrite);
    out += ",\"cacheRead\":";
    appendNumber(out, usage.cacheRead);
    out += ",\"messages\":";
    appendNumber(out, usage.messages);
    out += '}';
}

// {"<day>":{"<model>":<value>}} for either nested map.
template <typename Map, typename AppendValue>
void appendNested(std::string& out, const Map& days, AppendValue appendValue) {
    out += '{';
    bool firstDay = true;
    for (const auto& [day, models] : days) {
        if (!std::exchange(firstDay, false)) {
            out += ',';
        }
        appendQuoted(out, day);
        out += ":{";
        bool firstModel = true;
        for (const auto& [model, value] : models) {
            if (!std::exchange(firstModel, false)) {
                out += ',';
            }
            appendQuoted(out, model);
            out += ':';
            appendValue(out, value);
        }
        out += '}';
    }
    out += '}';
}

void appendKeyed(std::string& out, const std::vector<TranscriptScan::KeyedResponse>& responses) {
    out += '[';
    bool first = true;
    for (const auto& r : responses) {
        if (!std::exchange(first, false)) {
            out += ',';
        }
        appendNumber(out, r.key);
        for (std::int64_t count : {r.input, r.output, r.cacheWrite, r.cacheRead}) {
            out += ',';
            appendNumber(out, count);
        }
    }
    out += ']';
}

// Throws simdjson_error on any mismatch; the caller turns that into nullopt.
DayUsage decodeUsage(od::object object) {
    DayUsage usage;
    for (auto field : object) {
        std::string_view key = field.unescaped_key();
        std::int64_t value = field.value().get_int64();
        if (key == "input") {
            usage.input = value;
        } else if (key == "output") {
            usage.output = value;
        } else if (key == "cacheWrite") {
            usage.cacheWrite = value;
        } else if (key == "cacheRead") {
            usage.cacheRead = value;
        } else if (key == "messages") {
            usage.messages = value;
        }
    }
    return usage;
}

UsageBuckets decodeBuckets(od::object days) {
    UsageBuckets buckets;
    for (auto day : days) {
        auto& models = buckets[std::string(std::string_view(day.unescaped_key()))];
        for (auto model : day.value().get_object()) {
            models[std::string(std::string_view(model.unescaped_key()))] =
                decodeUsage(model.value().get_object());
        }
    }
    return buckets;
}

TranscriptScan::KeyedBuckets decodeKeyed(od::object days) {
    TranscriptScan::KeyedBuckets keyed;
    for (auto day : days) {
        auto& models = keyed[std::string(std::string_view(day.unescaped_key()))];
        for (auto model : day.value().get_object()) {
            auto& responses = models[std::string(std::string_view(model.unescaped_key()))];
            std::array<std::int64_t, 4> counts{};
            std::size_t slot = 0;
            std::uint64_t key = 0;
            for (auto number : model.value().get_array()) {
                if (slot == 0) {
                    key = number.get_uint64();
                } else {
                    counts[slot - 1] = number.get_int64();
                }
                if (++slot == 5) {
                    responses.push_back({key, counts[0], counts[1], counts[2], counts[3]});
                    slot = 0;
                }
            }
            if (slot != 0) {
                throw simdjson::simdjson_error(simdjson::INCORRECT_TYPE);
            }
        }
    }
    return keyed;
}

FileUsage decodeEntry(od::object object) {
    FileUsage entry;
    bool hasTime = false;
    for (auto field : object) {
        std::string_view key = field.unescaped_key();
        if (key == "mtime") {
            auto time = parseISO8601(std::string_view(field.value().get_string()));
            if (!time) {
                throw simdjson::simdjson_error(simdjson::INCORRECT_TYPE);
            }
            entry.mtime = *time;
            hasTime = true;
        } else if (key == "size") {
            entry.size = field.value().get_int64();
        } else if (key == "buckets") {
            entry.buckets = decodeBuckets(field.value().get_object());
        } else if (key == "keyed") {
            entry.keyed = decodeKeyed(field.value().get_object());
        }
    }
    if (!hasTime) {
        throw simdjson::simdjson_error(simdjson::NO_SUCH_FIELD);
    }
    return entry;
}

}  // namespace

std::string encodeUsageCache(const UsageCache& cache) {
    std::string out;
    out.reserve(256 * cache.size() + 2);
    out += '{';
    bool first = true;
    for (const auto& [path, entry] : cache) {
        if (!std::exchange(first, false)) {
            out += ',';
        }
        appendQuoted(out, path);
        out += ":{\"mtime\":";
        appendQuoted(out, iso8601UTC(entry.mtime));
        out += ",\"size\":";
        appendNumber(out, entry.size);
        out += ",\"buckets\":";
        appendNested(out, entry.buckets, appendUsage);
        if (!entry.keyed.empty()) {
            out += ",\"keyed\":";
            appendNested(out, entry.keyed, appendKeyed);
        }
        out += '}';
    }
    out += '}';
    return out;
}

std::optional<UsageCache> decodeUsageCache(std::string_view json) {
    simdjson::padded_string padded(json);
    od::parser parser;
    try {
        UsageCache cache;
        od::document doc = parser.iterate(padded);
        for (auto member : doc.get_object()) {
            std::string path(std::string_view(member.unescaped_key()));
            cache[std::move(path)] = decodeEntry(member.value().get_object());
        }
        return cache;
    } catch (const simdjson::simdjson_error&) {
        return std::nullopt;
    }
}

std::string usageCachePath() {
    return vorlaHome() + "/data/usage-cache.json";
}

}  // namespace vorla
