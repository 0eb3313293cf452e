#include "engine/usage/transcript_scan.h"

#include <simdjson.h>

#include <array>
#include <cmath>
#include <optional>
#include <unordered_set>

#include "core/text.h"
#include "engine/usage/line_stream.h"

namespace vorla {

namespace TranscriptScan {

namespace {

namespace od = simdjson::ondemand;

constexpr std::string_view kUsageMarker[] = {"\"usage\""};
// Once a Codex log's day is known, only lines that name a model or carry
// totals can change the result; every other line is skipped unparsed.
constexpr std::string_view kCodexMarkers[] = {"\"model\"", "\"total_token_usage\"",
                                              "\"token_usage_record\""};

// A token count: a number with an exact integer value; anything else is 0.
std::int64_t countFrom(od::value value) {
    od::number number;
    if (value.get_number().get(number) != simdjson::SUCCESS) {
        return 0;
    }
    // Anything but a signed integer or a whole double (beyond 64 bits signed,
    // or a newer simdjson's big integers) counts as 0.
    const od::number_type type = number.get_number_type();
    if (type == od::number_type::signed_integer) {
        return number.get_int64();
    }
    if (type == od::number_type::floating_point_number) {
        double d = number.get_double();
        if (std::trunc(d) == d && d >= -9.2e18 && d <= 9.2e18) {
            return static_cast<std::int64_t>(d);
        }
    }
    return 0;
}

std::optional<std::string_view> textFrom(od::value value) {
    std::string_view text;
    if (value.get_string().get(text) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    return text;
}

// The first ten characters (not bytes) of a timestamp: its date.
std::string dayFrom(std::string_view timestamp) {
    std::size_t at = 0;
    for (int characters = 0; characters < 10 && at < timestamp.size(); ++characters) {
        auto lead = static_cast<unsigned char>(timestamp[at]);
        at += lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    }
    return std::string(timestamp.substr(0, std::min(at, timestamp.size())));
}

std::uint64_t fnv1a(std::uint64_t hash, std::string_view text) {
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;

// What one Claude line says, before the counting rules are applied.
struct ClaudeLine {
    bool hasMessage = false;  // message and message.usage are objects
    std::optional<std::string_view> id;
    std::optional<std::string_view> model;
    std::optional<std::string_view> timestamp;
    std::optional<std::string_view> requestID;
    DayUsage usage;
};

bool readUsage(od::object usage, DayUsage& out) {
    for (auto field : usage) {
        std::string_view key;
        od::value value;
        if (field.unescaped_key().get(key) || field.value().get(value)) {
            return false;
        }
        if (key == "input_tokens") {
            out.input = countFrom(value);
        } else if (key == "output_tokens") {
            out.output = countFrom(value);
        } else if (key == "cache_creation_input_tokens") {
            out.cacheWrite = countFrom(value);
        } else if (key == "cache_read_input_tokens") {
            out.cacheRead = countFrom(value);
        }
    }
    return true;
}

bool readMessage(od::object message, ClaudeLine& line) {
    bool hasUsage = false;
    for (auto field : message) {
        std::string_view key;
        od::value value;
        if (field.unescaped_key().get(key) || field.value().get(value)) {
            return false;
        }
        if (key == "id") {
            line.id = textFrom(value);
        } else if (key == "model") {
            line.model = textFrom(value);
        } else if (key == "usage") {
            od::object usage;
            hasUsage = value.get_object().get(usage) == simdjson::SUCCESS;
            if (hasUsage && !readUsage(usage, line.usage)) {
                return false;
            }
        }
    }
    line.hasMessage = hasUsage;
    return true;
}

// Reads the fields the Claude rules need; nullopt when the line is not one
// JSON object.
std::optional<ClaudeLine> parseClaudeLine(od::parser& parser, const StreamedLine& text) {
    od::document doc;
    if (parser.iterate(simdjson::padded_string_view(text.data, text.size, text.capacity))
            .get(doc)) {
        return std::nullopt;
    }
    od::object root;
    if (doc.get_object().get(root)) {
        return std::nullopt;
    }
    ClaudeLine line;
    for (auto field : root) {
        std::string_view key;
        od::value value;
        if (field.unescaped_key().get(key) || field.value().get(value)) {
            return std::nullopt;
        }
        if (key == "message") {
            od::object message;
            if (value.get_object().get(message) == simdjson::SUCCESS) {
                if (!readMessage(message, line)) {
                    return std::nullopt;
                }
            } else {
                line.hasMessage = false;
            }
        } else if (key == "timestamp") {
            line.timestamp = textFrom(value);
        } else if (key == "requestId") {
            line.requestID = textFrom(value);
        }
    }
    return line;
}

// Token counts as Codex writes them. Its input count includes the cached
// reads and the cache writes, which are booked apart.
struct CodexTokens {
    std::int64_t input = 0;
    std::int64_t cached = 0;
    std::int64_t cacheWrite = 0;
    std::int64_t output = 0;

    [[nodiscard]] DayUsage usage() const {
        return DayUsage{std::max<std::int64_t>(input - cached - cacheWrite, 0), output, cacheWrite,
                        cached, 1};
    }
};

struct CodexState {
    std::string day;
    std::string model = "GPT";
    // The running total of the last token_count line. A forked session's
    // starts from its parent's, so it is used only without records.
    std::optional<CodexTokens> total;
    // The sum of the per-response token_usage_record lines: each response
    // once, in the file of the session that made it.
    std::optional<CodexTokens> records;
};

std::optional<CodexTokens> readTokens(od::object counts) {
    CodexTokens tokens;
    for (auto field : counts) {
        std::string_view key;
        od::value value;
        if (field.unescaped_key().get(key) || field.value().get(value)) {
            return std::nullopt;
        }
        if (key == "input_tokens") {
            tokens.input = countFrom(value);
        } else if (key == "cached_input_tokens") {
            tokens.cached = countFrom(value);
        } else if (key == "cache_write_input_tokens") {
            tokens.cacheWrite = countFrom(value);
        } else if (key == "output_tokens") {
            tokens.output = countFrom(value);
        }
    }
    return tokens;
}

// What one line's payload says; applied once the whole line has been read.
struct CodexPayload {
    std::optional<std::string> model;
    std::optional<CodexTokens> total;     // info.total_token_usage
    std::optional<CodexTokens> response;  // usage, on a token_usage_record line
};

// Reads the object under `value` as token counts into `into`; false on a fault.
bool readTokensInto(od::value value, std::optional<CodexTokens>& into) {
    od::object counts;
    if (value.get_object().get(counts) != simdjson::SUCCESS) {
        return true;  // not an object: nothing to read
    }
    into = readTokens(counts);
    return into.has_value();
}

bool readPayload(od::object payload, CodexPayload& read) {
    for (auto field : payload) {
        std::string_view key;
        od::value value;
        if (field.unescaped_key().get(key) || field.value().get(value)) {
            return false;
        }
        if (key == "model") {
            if (auto model = textFrom(value)) {
                read.model = shortModel(*model);
            }
        } else if (key == "usage") {
            if (!readTokensInto(value, read.response)) {
                return false;
            }
        } else if (key == "info") {
            od::object info;
            if (value.get_object().get(info)) {
                continue;
            }
            for (auto inner : info) {
                std::string_view innerKey;
                od::value innerValue;
                if (inner.unescaped_key().get(innerKey) || inner.value().get(innerValue)) {
                    return false;
                }
                if (innerKey == "total_token_usage" && !readTokensInto(innerValue, read.total)) {
                    return false;
                }
            }
        }
    }
    return true;
}

void readCodexLine(od::parser& parser, const StreamedLine& text, CodexState& state) {
    od::document doc;
    if (parser.iterate(simdjson::padded_string_view(text.data, text.size, text.capacity))
            .get(doc)) {
        return;
    }
    od::object root;
    if (doc.get_object().get(root)) {
        return;
    }
    // Parsing is lazy, so a fault may show half-way: the line's effects are
    // kept only once all of its fields have been read.
    std::optional<std::string> day;
    bool isRecord = false;
    CodexPayload payload;
    for (auto field : root) {
        std::string_view key;
        od::value value;
        if (field.unescaped_key().get(key) || field.value().get(value)) {
            return;
        }
        if (key == "timestamp") {
            if (auto timestamp = textFrom(value)) {
                day = dayFrom(*timestamp);
            }
        } else if (key == "type") {
            isRecord = textFrom(value) == std::optional<std::string_view>("token_usage_record");
        } else if (key == "payload") {
            od::object object;
            if (value.get_object().get(object) == simdjson::SUCCESS &&
                !readPayload(object, payload)) {
                return;
            }
        }
    }
    if (day && state.day.empty()) {
        state.day = std::move(*day);
    }
    if (payload.model) {
        state.model = std::move(*payload.model);
    }
    if (payload.total) {
        state.total = payload.total;
    }
    if (isRecord && payload.response) {
        CodexTokens sum = state.records.value_or(CodexTokens{});
        sum.input += payload.response->input;
        sum.cached += payload.response->cached;
        sum.cacheWrite += payload.response->cacheWrite;
        sum.output += payload.response->output;
        state.records = sum;
    }
}

}  // namespace

std::uint64_t responseKey(std::string_view messageID, std::string_view requestID) {
    return fnv1a(fnv1a(fnv1a(kFnvOffset, messageID), ":"), requestID);
}

namespace {

// Applies the counting rules to one line that mentions usage.
void countClaudeLine(od::parser& parser, const StreamedLine& text,
                     std::unordered_set<std::uint64_t>& seenIDs, ClaudeScan& result) {
    std::optional<ClaudeLine> line = parseClaudeLine(parser, text);
    if (!line || !line->hasMessage) {
        return;
    }
    // A line without an id is never a repeat. The id counts as seen even
    // when the line is dropped below for lack of a day.
    if (line->id && !seenIDs.insert(fnv1a(kFnvOffset, *line->id)).second) {
        return;
    }
    std::string day = dayFrom(line->timestamp.value_or(""));
    if (day.empty()) {
        return;
    }
    std::string model = shortModel(line->model.value_or("unknown"));
    DayUsage usage = line->usage;
    usage.messages = 1;
    if (line->id && line->requestID) {
        result.keyed[day][model].push_back(KeyedResponse{responseKey(*line->id, *line->requestID),
                                                         usage.input, usage.output,
                                                         usage.cacheWrite, usage.cacheRead});
    }
    result.buckets[day][model] += usage;
}

}  // namespace

ClaudeScan claudeScan(const std::string& path) {
    ClaudeScan result;
    od::parser parser;
    std::unordered_set<std::uint64_t> seenIDs;
    bool readable =
        forEachLine(path, kUsageMarker, LineSelection::marked, [&](const StreamedLine& text) {
            countClaudeLine(parser, text, seenIDs, result);
            return LineSelection::marked;
        });
    if (!readable) {
        return {};
    }
    return result;
}

UsageBuckets claudeUsage(const std::string& path) {
    return claudeScan(path).buckets;
}

UsageBuckets codexUsage(const std::string& path) {
    CodexState state;
    od::parser parser;
    bool readable =
        forEachLine(path, kCodexMarkers, LineSelection::all, [&](const StreamedLine& text) {
            readCodexLine(parser, text, state);
            return state.day.empty() ? LineSelection::all : LineSelection::marked;
        });
    std::optional<CodexTokens> tokens = state.records ? state.records : state.total;
    if (!readable || !tokens || state.day.empty()) {
        return {};
    }
    UsageBuckets result;
    result[state.day][state.model] = tokens->usage();
    return result;
}

std::string shortModel(std::string_view identifier) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kNames = {{
        {"fable", "Fable"},
        {"opus", "Opus"},
        {"sonnet", "Sonnet"},
        {"haiku", "Haiku"},
        {"gpt", "GPT"},
        {"codex", "GPT"},
    }};
    std::string lower = asciiLower(identifier);
    for (const auto& [word, name] : kNames) {
        if (lower.find(word) != std::string::npos) {
            return std::string(name);
        }
    }
    if (identifier.empty()) {
        return "\u2014";
    }
    return std::string(identifier);
}

}  // namespace TranscriptScan
}  // namespace vorla
