#include "engine/usage/usage_cache.h"

#include <fcntl.h>
#include <simdjson.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>
#include <vector>

#include "core/paths.h"
#include "core/unique_fd.h"
#include "engine/support/calendar.h"
#include "engine/support/sha256.h"

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

// Reads the packed responses; after a malformed digit or an overlong number
// every read gives 0 and failed() stays true.
class HexReader {
  public:
    explicit HexReader(std::string_view text) : text_(text) {}
    [[nodiscard]] bool atEnd() const { return failed_ || at_ >= text_.size(); }
    [[nodiscard]] bool failed() const { return failed_; }

    unsigned byte() {
        if (failed_ || at_ + 2 > text_.size()) {
            return failure();
        }
        const unsigned high = digit(text_[at_]);
        const unsigned low = digit(text_[at_ + 1]);
        if (high > 0xF || low > 0xF) {
            return failure();
        }
        at_ += 2;
        return high << 4 | low;
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
        for (int shift = 0; !failed_; shift += 7) {
            unsigned b = byte();
            if (shift > 63) {
                return failure();
            }
            zigzag |= static_cast<std::uint64_t>(b & 0x7F) << shift;
            if ((b & 0x80) == 0) {
                break;
            }
        }
        return static_cast<std::int64_t>(zigzag >> 1) ^ -static_cast<std::int64_t>(zigzag & 1);
    }

  private:
    unsigned failure() {
        failed_ = true;
        return 0;
    }
    // 0...15, or 0xFF for a character that is not a hex digit.
    static unsigned digit(char c) {
        static constexpr auto kValues = [] {
            std::array<std::uint8_t, 256> values{};
            values.fill(0xFF);
            for (int i = 0; i < 16; ++i) {
                values[static_cast<unsigned char>(kHexDigits[i])] = static_cast<std::uint8_t>(i);
            }
            return values;
        }();
        return kValues[static_cast<unsigned char>(c)];
    }

    std::string_view text_;
    std::size_t at_ = 0;
    bool failed_ = false;
};

// simdjson's error codes, tested in a condition: false on any mismatch.
template <typename Result, typename T>
[[nodiscard]] bool take(Result&& result, T& into) {
    return std::forward<Result>(result).get(into) == simdjson::SUCCESS;
}

// Every decoder below returns false on any mismatch; the caller turns that
// into nullopt.
bool decodeUsage(od::object object, DayUsage& usage) {
    for (auto field : object) {
        std::string_view key;
        std::int64_t value = 0;
        if (!take(field.unescaped_key(), key) || !take(field.value().get_int64(), value)) {
            return false;
        }
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
    return true;
}

// {"<day>":{"<model>":<value>}}, each value handed to `decodeValue`.
template <typename Into, typename DecodeValue>
bool decodeDaysAndModels(od::object days, Into& into, DecodeValue decodeValue) {
    for (auto day : days) {
        std::string_view dayKey;
        od::object models;
        if (!take(day.unescaped_key(), dayKey) || !take(day.value().get_object(), models)) {
            return false;
        }
        auto& byModel = into[std::string(dayKey)];
        for (auto model : models) {
            std::string_view name;
            od::value value;
            if (!take(model.unescaped_key(), name) || !take(model.value(), value) ||
                !decodeValue(value, byModel[std::string(name)])) {
                return false;
            }
        }
    }
    return true;
}

bool decodeBuckets(od::object days, UsageBuckets& buckets) {
    return decodeDaysAndModels(days, buckets, [](od::value value, DayUsage& usage) {
        od::object object;
        return take(value.get_object(), object) && decodeUsage(object, usage);
    });
}

bool decodeKeyed(od::object days, TranscriptScan::KeyedBuckets& keyed) {
    return decodeDaysAndModels(
        days, keyed, [](od::value value, std::vector<TranscriptScan::KeyedResponse>& responses) {
            std::string_view packed;
            if (!take(value.get_string(), packed)) {
                return false;
            }
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
            return !reader.failed();
        });
}

std::optional<FileUsage> decodeEntry(od::object object) {
    FileUsage entry;
    bool hasTime = false;
    bool hasSize = false;
    bool hasBuckets = false;
    for (auto field : object) {
        std::string_view key;
        if (!take(field.unescaped_key(), key)) {
            return std::nullopt;
        }
        if (key == "mtime") {
            std::string_view text;
            if (!take(field.value().get_string(), text)) {
                return std::nullopt;
            }
            auto time = parseISO8601(text);
            if (!time) {
                return std::nullopt;
            }
            entry.mtime = *time;
            hasTime = true;
        } else if (key == "size") {
            if (!take(field.value().get_int64(), entry.size)) {
                return std::nullopt;
            }
            hasSize = true;
        } else if (key == "buckets") {
            od::object days;
            if (!take(field.value().get_object(), days) || !decodeBuckets(days, entry.buckets)) {
                return std::nullopt;
            }
            hasBuckets = true;
        } else if (key == "keyed") {
            od::object days;
            if (!take(field.value().get_object(), days) || !decodeKeyed(days, entry.keyed)) {
                return std::nullopt;
            }
        }
    }
    // Without any of the three, the entry cannot say whether a file changed
    // or what it used.
    if (!hasTime || !hasSize || !hasBuckets) {
        return std::nullopt;
    }
    return entry;
}

constexpr std::int64_t kVersion = 2;

// The path -> entry object of the second line; false on any mismatch.
bool decodeEntries(simdjson::padded_string_view text, UsageCache& cache) {
    od::parser parser;
    od::document doc;
    od::object root;
    if (!take(parser.iterate(text), doc) || !take(doc.get_object(), root)) {
        return false;
    }
    for (auto member : root) {
        std::string_view key;
        od::object object;
        if (!take(member.unescaped_key(), key) || !take(member.value().get_object(), object)) {
            return false;
        }
        std::string path(key);
        auto entry = decodeEntry(object);
        if (!entry) {
            return false;
        }
        cache[std::move(path)] = std::move(*entry);
    }
    return true;
}

struct Header {
    std::optional<WindowTotal> window;
};

bool decodeWindow(od::object object, WindowTotal& window) {
    bool hasKey = false;
    bool hasTotal = false;
    for (auto field : object) {
        std::string_view key;
        if (!take(field.unescaped_key(), key)) {
            return false;
        }
        if (key == "key") {
            std::string_view text;
            if (!take(field.value().get_string(), text)) {
                return false;
            }
            window.key = text;
            hasKey = true;
        } else if (key == "total") {
            od::object days;
            if (!take(field.value().get_object(), days) || !decodeBuckets(days, window.total)) {
                return false;
            }
            hasTotal = true;
        }
    }
    return hasKey && hasTotal;
}

// The first line: nullopt unless it is an object of this version.
std::optional<Header> decodeHeader(std::string_view line) {
    simdjson::padded_string padded(line);
    od::parser parser;
    od::document doc;
    od::object root;
    if (!take(parser.iterate(padded), doc) || !take(doc.get_object(), root)) {
        return std::nullopt;
    }
    Header header;
    bool current = false;
    for (auto field : root) {
        std::string_view key;
        if (!take(field.unescaped_key(), key)) {
            return std::nullopt;
        }
        if (key == "version") {
            std::int64_t version = 0;
            if (!take(field.value().get_int64(), version) || version != kVersion) {
                return std::nullopt;
            }
            current = true;
        } else if (key == "window") {
            od::object object;
            WindowTotal window;
            if (!take(field.value().get_object(), object) || !decodeWindow(object, window)) {
                return std::nullopt;
            }
            header.window = std::move(window);
        }
    }
    if (!current) {
        return std::nullopt;
    }
    return header;
}

std::string_view firstLine(std::string_view text) {
    return text.substr(0, text.find('\n'));
}

// Both lines of `text`, which has SIMDJSON_PADDING readable bytes beyond its
// end (`capacity` counts them).
std::optional<UsageCache> decodeBoth(std::string_view text, std::size_t capacity) {
    std::size_t newline = text.find('\n');
    if (newline == std::string_view::npos || !decodeHeader(text.substr(0, newline))) {
        return std::nullopt;
    }
    UsageCache cache;
    std::string_view rest = text.substr(newline + 1);
    if (!decodeEntries(simdjson::padded_string_view(rest, capacity - newline - 1), cache)) {
        return std::nullopt;
    }
    return cache;
}

}  // namespace

std::string windowKey(std::string_view transcripts, const UsageBuckets& total) {
    std::string encodedTotal;
    appendNested(encodedTotal, total, appendUsage);
    return sha256Hex({transcripts, ":", encodedTotal});
}

std::string encodeUsageCache(const UsageCache& cache, const std::optional<WindowTotal>& window) {
    std::string out;
    out.reserve(256 * cache.size() + 64);
    out += "{\"version\":";
    appendNumber(out, kVersion);
    if (window) {
        out += ",\"window\":{\"key\":";
        appendQuoted(out, window->key);
        out += ",\"total\":";
        appendNested(out, window->total, appendUsage);
        out += '}';
    }
    out += "}\n{";
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
    out += "}\n";
    return out;
}

std::optional<UsageCache> decodeUsageCache(std::string_view text) {
    std::string padded(text);
    padded.resize(text.size() + simdjson::SIMDJSON_PADDING);
    return decodeBoth(std::string_view(padded).substr(0, text.size()), padded.size());
}

std::optional<WindowTotal> decodeWindowTotal(std::string_view text) {
    auto header = decodeHeader(firstLine(text));
    return header ? std::move(header->window) : std::nullopt;
}

std::optional<UsageCache> loadUsageCache(const std::string& path) {
    const UniqueFd fd = openOwnFile(path, O_RDONLY);
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0) {
        return std::nullopt;
    }
    // Read straight into a buffer with simdjson's padding: no copy of the
    // whole file.
    std::string text(static_cast<std::size_t>(info.st_size) + simdjson::SIMDJSON_PADDING, '\0');
    std::size_t length = 0;
    while (length < static_cast<std::size_t>(info.st_size)) {
        ssize_t got = ::read(fd.get(), text.data() + length, info.st_size - length);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;  // shorter than it was: what was read decides
        }
        length += static_cast<std::size_t>(got);
    }
    return decodeBoth(std::string_view(text).substr(0, length), text.size());
}

std::optional<WindowTotal> loadWindowTotal(const std::string& path) {
    const UniqueFd fd = openOwnFile(path, O_RDONLY);
    if (!fd) {
        return std::nullopt;
    }
    // The first line is small; read on until it ends, not the whole file.
    std::string text;
    char chunk[16384];
    for (;;) {
        ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        std::string_view part(chunk, static_cast<std::size_t>(got));
        text += part;
        if (part.find('\n') != std::string_view::npos) {
            break;
        }
    }
    return decodeWindowTotal(text);
}

std::string usageCachePath() {
    return vorlaHome() + "/data/usage-cache.json";
}

}  // namespace vorla
