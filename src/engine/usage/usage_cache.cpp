#include "engine/usage/usage_cache.h"

#include <simdjson.h>

#include <array>
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

// Keyed responses are many (one per response) and read at every snapshot, so
// they are packed: per response the key as 8 little-endian bytes, then the
// four counts as LEB128 varints (zig-zag, so a negative count survives), all
// written as one hex string. Parsing that is far cheaper than five JSON
// numbers per response.
constexpr char kHexDigits[] = "0123456789abcdef";

void appendByte(std::string& out, unsigned byte) {
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 15];
}

void appendVarint(std::string& out, std::int64_t value) {
    auto zigzag =
        (static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63);
    while (zigzag >= 0x80) {
        appendByte(out, static_cast<unsigned>(zigzag & 0x7F) | 0x80);
        zigzag >>= 7;
    }
    appendByte(out, static_cast<unsigned>(zigzag));
}

void appendKeyed(std::string& out, const std::vector<TranscriptScan::KeyedResponse>& responses) {
    out += '"';
    for (const auto& r : responses) {
        for (int shift = 0; shift < 64; shift += 8) {
            appendByte(out, static_cast<unsigned>(r.key >> shift) & 0xFF);
        }
        for (std::int64_t count : {r.input, r.output, r.cacheWrite, r.cacheRead}) {
            appendVarint(out, count);
        }
    }
    out += '"';
}

class HexReader {
  public:
    explicit HexReader(std::string_view text) : text_(text) {}
    [[nodiscard]] bool atEnd() const { return at_ >= text_.size(); }

    unsigned byte() {
        if (at_ + 2 > text_.size()) {
            throw simdjson::simdjson_error(simdjson::INCORRECT_TYPE);
        }
        unsigned value = digit(text_[at_]) << 4 | digit(text_[at_ + 1]);
        at_ += 2;
        return value;
    }
    std::uint64_t fixed64() {
        std::uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 8) {
            value |= static_cast<std::uint64_t>(byte()) << shift;
        }
        return value;
    }
    std::int64_t varint() {
        std::uint64_t zigzag = 0;
        for (int shift = 0;; shift += 7) {
            unsigned b = byte();
            if (shift > 63) {
                throw simdjson::simdjson_error(simdjson::NUMBER_ERROR);
            }
            zigzag |= static_cast<std::uint64_t>(b & 0x7F) << shift;
            if ((b & 0x80) == 0) {
                break;
            }
        }
        return static_cast<std::int64_t>(zigzag >> 1) ^ -static_cast<std::int64_t>(zigzag & 1);
    }

  private:
    static unsigned digit(char c) {
        static constexpr auto kValues = [] {
            std::array<std::uint8_t, 256> values{};
            values.fill(0xFF);
            for (int i = 0; i < 16; ++i) {
                values[static_cast<unsigned char>(kHexDigits[i])] = static_cast<std::uint8_t>(i);
            }
            return values;
        }();
        std::uint8_t value = kValues[static_cast<unsigned char>(c)];
        if (value == 0xFF) {
            throw simdjson::simdjson_error(simdjson::INCORRECT_TYPE);
        }
        return value;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

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
            std::string_view packed = model.value().get_string();
            // At least 12 bytes (24 digits) per response.
            responses.reserve(packed.size() / 24);
            HexReader reader(packed);
            while (!reader.atEnd()) {
                TranscriptScan::KeyedResponse r;
                r.key = reader.fixed64();
                r.input = reader.varint();
                r.output = reader.varint();
                r.cacheWrite = reader.varint();
                r.cacheRead = reader.varint();
                responses.push_back(r);
            }
        }
    }
    return keyed;
}

FileUsage decodeEntry(od::object object) {
    FileUsage entry;
    bool hasTime = false;
    bool hasSize = false;
    bool hasBuckets = false;
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
            hasSize = true;
        } else if (key == "buckets") {
            entry.buckets = decodeBuckets(field.value().get_object());
            hasBuckets = true;
        } else if (key == "keyed") {
            entry.keyed = decodeKeyed(field.value().get_object());
        }
    }
    // Without any of the three, the entry cannot say whether a file changed
    // or what it used.
    if (!hasTime || !hasSize || !hasBuckets) {
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

namespace {

std::optional<UsageCache> decodePadded(const simdjson::padded_string& padded) {
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

}  // namespace

std::optional<UsageCache> decodeUsageCache(std::string_view json) {
    return decodePadded(simdjson::padded_string(json));
}

std::optional<UsageCache> loadUsageCache(const std::string& path) {
    simdjson::padded_string text;
    if (simdjson::padded_string::load(path).get(text) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return decodePadded(text);
}

std::string usageCachePath() {
    return vorlaHome() + "/data/usage-cache.json";
}

}  // namespace vorla
