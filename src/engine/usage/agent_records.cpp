#include "engine/usage/agent_records.h"

#include <simdjson.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/usage/line_stream.h"
#include "engine/usage/token_count.h"

namespace vorla::AgentRecords {

namespace {

namespace dom = simdjson::dom;

// The token count under `key` (see tokenCount).
template <typename Node>
std::int64_t count(Node object, std::string_view key) {
    return tokenCount(object[key]);
}

template <typename Node>
std::string_view text(Node object, std::string_view key) {
    std::string_view value;
    if (object[key].get(value) != simdjson::SUCCESS) {
        return {};
    }
    return value;
}

// A model's display name; an identifier is never that long, so a longer one
// is cut rather than carried into the cache and the interface.
std::string modelName(std::string_view identifier) {
    return TranscriptScan::shortModel(identifier.substr(0, 128));
}

// The date of an ISO timestamp; empty unless it starts like "2026-03-11".
std::string dayOf(std::string_view timestamp) {
    if (timestamp.size() < 10 || timestamp[4] != '-' || timestamp[7] != '-') {
        return {};
    }
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (timestamp[i] < '0' || timestamp[i] > '9') {
            return {};
        }
    }
    return std::string(timestamp.substr(0, 10));
}

// Gemini-style counts: the prompt count includes cached reads, tool-use
// prompt tokens come on top, and thoughts are billed as output. Qwen puts
// the thoughts inside the candidates count; its total then says so.
DayUsage geminiStyle(std::int64_t prompt, std::int64_t cached, std::int64_t tool,
                     std::int64_t candidates, std::int64_t thoughts, std::int64_t total) {
    bool thoughtsInside = thoughts > 0 && total == prompt + tool + candidates;
    std::int64_t output = candidates + (thoughtsInside ? 0 : thoughts);
    return DayUsage{std::max<std::int64_t>(prompt - cached, 0) + tool, output, 0,
                    std::min(cached, prompt), 1};
}

// One response as the records finally have it.
struct Response {
    std::string day;
    std::string model;
    DayUsage usage;
};

// Responses by key in first-seen order; a later copy replaces the earlier.
class Responses {
  public:
    void put(std::uint64_t key, Response response) {
        auto [at, added] = index_.try_emplace(key, order_.size());
        if (added) {
            order_.emplace_back(key, std::move(response));
        } else {
            order_[at->second].second = std::move(response);
        }
    }
    void clear() {
        index_.clear();
        order_.clear();
    }
    [[nodiscard]] Scan scan() const {
        Scan result;
        for (const auto& [key, response] : order_) {
            if (response.day.empty()) {
                continue;
            }
            const DayUsage& u = response.usage;
            result.buckets[response.day][response.model] += u;
            result.keyed[response.day][response.model].push_back(
                {key, u.input, u.output, u.cacheWrite, u.cacheRead});
        }
        return result;
    }

  private:
    std::unordered_map<std::uint64_t, std::size_t> index_;
    std::vector<std::pair<std::uint64_t, Response>> order_;
};

// Parses one streamed line in place (the stream leaves the padding simdjson needs).
std::optional<dom::element> parseLine(dom::parser& parser, const StreamedLine& line) {
    dom::element root;
    if (line.capacity < line.size + simdjson::SIMDJSON_PADDING ||
        parser.parse(reinterpret_cast<const uint8_t*>(line.data), line.size, false).get(root) !=
            simdjson::SUCCESS ||
        !root.is_object()) {
        return std::nullopt;
    }
    return root;
}

// Scans `path`, handing each wanted line's parsed object to `visit`.
template <typename Visit>
Scan scanLines(const std::string& path, std::span<const std::string_view> markers, Visit visit) {
    dom::parser parser;
    Responses responses;
    bool readable =
        forEachLine(path, markers, LineSelection::marked, [&](const StreamedLine& line) {
            if (auto root = parseLine(parser, line)) {
                visit(*root, responses);
            }
            return LineSelection::marked;
        });
    return readable ? responses.scan() : Scan{};
}

void putGeminiMessage(dom::element message, Responses& responses) {
    dom::element tokens;
    if (text(message, "type") != "gemini" || message["tokens"].get(tokens) != simdjson::SUCCESS ||
        !tokens.is_object()) {
        return;
    }
    std::string_view id = text(message, "id");
    if (id.empty()) {
        return;
    }
    DayUsage usage =
        geminiStyle(count(tokens, "input"), count(tokens, "cached"), count(tokens, "tool"),
                    count(tokens, "output"), count(tokens, "thoughts"), count(tokens, "total"));
    responses.put(TranscriptScan::responseKey("gemini", id),
                  {dayOf(text(message, "timestamp")), modelName(text(message, "model")), usage});
}

}  // namespace

Scan geminiUsage(const std::string& path) {
    static constexpr std::string_view kMarkers[] = {"\"tokens\"", "\"$set\""};
    return scanLines(path, kMarkers, [](dom::element root, Responses& responses) {
        dom::array messages;
        if (root["$set"]["messages"].get(messages) == simdjson::SUCCESS) {
            // The whole conversation written anew (a rewind or a compression).
            responses.clear();
            for (dom::element message : messages) {
                putGeminiMessage(message, responses);
            }
            return;
        }
        putGeminiMessage(root, responses);
    });
}

Scan copilotUsage(const std::string& path) {
    static constexpr std::string_view kMarkers[] = {"\"session.usage_record\""};
    return scanLines(path, kMarkers, [](dom::element root, Responses& responses) {
        dom::element usage;
        if (text(root, "type") != "session.usage_record" ||
            root["data"]["usage"].get(usage) != simdjson::SUCCESS || !usage.is_object()) {
            return;
        }
        // A resumed or forked session copies the records of its source; the
        // accounting identity is the same in every copy.
        std::string_view source = text(usage["accounting"], "sourceSessionId");
        std::int64_t sequence = count(usage["accounting"], "sequence");
        std::uint64_t key = !source.empty() && sequence > 0
                                ? TranscriptScan::responseKey(source, std::to_string(sequence))
                                : TranscriptScan::responseKey("copilot", text(root, "id"));
        std::int64_t input = count(usage, "inputTokens");
        std::int64_t cacheRead = count(usage, "cacheReadTokens");
        DayUsage counts{std::max<std::int64_t>(input - cacheRead, 0), count(usage, "outputTokens"),
                        count(usage, "cacheWriteTokens"), std::min(cacheRead, input), 1};
        responses.put(key,
                      {dayOf(text(root, "timestamp")), modelName(text(usage, "model")), counts});
    });
}

Scan qwenUsage(const std::string& path) {
    static constexpr std::string_view kMarkers[] = {"\"usageMetadata\""};
    return scanLines(path, kMarkers, [](dom::element root, Responses& responses) {
        dom::element meta;
        std::string_view uuid = text(root, "uuid");
        if (root["usageMetadata"].get(meta) != simdjson::SUCCESS || !meta.is_object() ||
            uuid.empty()) {
            return;
        }
        DayUsage usage =
            geminiStyle(count(meta, "promptTokenCount"), count(meta, "cachedContentTokenCount"),
                        count(meta, "toolUsePromptTokenCount"), count(meta, "candidatesTokenCount"),
                        count(meta, "thoughtsTokenCount"), count(meta, "totalTokenCount"));
        responses.put(TranscriptScan::responseKey("qwen", uuid),
                      {dayOf(text(root, "timestamp")), modelName(text(root, "model")), usage});
    });
}

}  // namespace vorla::AgentRecords
