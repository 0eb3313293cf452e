// The vocabulary shared by vorla-bridge and the application: agent sources,
// canonical event kinds, the event and decision records that cross the socket,
// and the rules that turn an agent's hook payload into them.
//
// Plain values without shared state; safe to copy between threads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "core/json_text.h"
#include "core/json_value.h"

namespace vorla {

// Raw values are stored in event lines, audit and rule files: append, never reorder.
enum class Source { claude, codex, grok, kiro, gemini, copilot, qwen, opencode };
inline constexpr std::array<Source, 8> kAllSources = {
    Source::claude, Source::codex,   Source::grok, Source::kiro,
    Source::gemini, Source::copilot, Source::qwen, Source::opencode};
[[nodiscard]] std::string_view rawValue(Source source);
[[nodiscard]] std::string_view displayName(Source source);
[[nodiscard]] std::optional<Source> sourceFromRaw(std::string_view raw);

enum class Canonical {
    sessionStart,
    sessionEnd,
    userPromptSubmit,
    preToolUse,
    postToolUse,
    permissionRequest,
    stop,
    notification,
    other,
};
[[nodiscard]] std::string_view rawValue(Canonical event);
[[nodiscard]] std::optional<Canonical> canonicalFromRaw(std::string_view raw);

enum class Behavior { allow, deny };
[[nodiscard]] std::string_view rawValue(Behavior behavior);
[[nodiscard]] std::optional<Behavior> behaviorFromRaw(std::string_view raw);

// The answer to a gating event.
struct Decision {
    Behavior behavior = Behavior::deny;
    std::optional<std::string> message;

    friend bool operator==(const Decision&, const Decision&) = default;
};

// The terminal an agent runs in, captured from the environment.
struct TerminalContext {
    std::optional<std::string> termProgram;
    std::optional<std::string> itermSessionID;
    std::optional<std::string> termSessionID;
    std::optional<std::string> tmuxPane;
    std::optional<std::string> weztermPane;
    std::optional<std::string> kittyWindowID;
    std::int32_t ppid = 0;

    // Reads the process environment and the parent process id now.
    [[nodiscard]] static TerminalContext capture();

    friend bool operator==(const TerminalContext&, const TerminalContext&) = default;
};

// The record the bridge sends once per hook invocation.
struct Event {
    std::string id;
    Source source = Source::claude;
    Canonical event = Canonical::other;
    std::string rawEvent;
    bool gating = false;
    std::optional<std::string> sessionID;
    std::optional<std::string> cwd;
    std::optional<std::string> toolName;
    std::optional<JSONValue> toolInput;
    std::optional<std::string> transcriptPath;
    TerminalContext terminal;
    double ts = 0;  // seconds since 1970, with fraction

    friend bool operator==(const Event&, const Event&) = default;
};

// The most a bridge reads from its agent: far beyond any real hook payload
// (a Write of a large file is a few MiB), small enough to hold in memory.
inline constexpr std::size_t kMaxPayloadBytes = std::size_t{64} << 20;
// The longest event line either end handles: the payload and its envelope.
// The bridge sends nothing longer and the app drops a connection past it.
inline constexpr std::size_t kMaxEventLineBytes = kMaxPayloadBytes + (std::size_t{1} << 20);
// The longest decision line a bridge reads (a behavior and a short reason).
inline constexpr std::size_t kMaxDecisionLineBytes = std::size_t{64} << 10;

// Wire encoding: compact JSON objects, optional fields omitted when absent.
[[nodiscard]] std::string encode(const Event& event);
// The same text written into `out`, for a caller that sends it from there.
void encode(const Event& event, JSONTextWriter& out);
// Room to reserve for the text of `event` (see JSONTextWriter).
[[nodiscard]] std::size_t approximateTextSize(const Event& event);
[[nodiscard]] std::string encode(const Decision& decision);
[[nodiscard]] nlohmann::json toJson(const TerminalContext& terminal);

// Decoding never throws. A missing required key, a wrong type, an unknown
// source/event/behavior raw value or text that is not JSON gives nullopt.
// The line is parsed in place: move in a line that is no longer needed.
[[nodiscard]] std::optional<Event> decodeEvent(std::string line);
[[nodiscard]] std::optional<Decision> decodeDecision(std::string line);
[[nodiscard]] std::optional<TerminalContext> terminalFromJson(const nlohmann::json& json);

// Underscores removed, lower-cased, then matched exactly; anything else is `other`.
[[nodiscard]] Canonical canonicalize(std::string_view raw);

// Whether the bridge waits for a decision on this event.
[[nodiscard]] bool isGating(Source source, Canonical event,
                            const std::optional<std::string>& toolName);

// A Claude Code or Codex pre-tool-use that isGating leaves to the agent. The
// bridge still sends it as gating and waits, so that a learned deny rule
// stops the call even when the agent never asks (Codex's plain exec, Claude
// Code's -p): the only answer is a denial, and no answer lets the agent go on
// by itself. An allow is never sent there (Codex rejects it as invalid).
[[nodiscard]] bool isRuleCheck(Source source, Canonical event,
                               const std::optional<std::string>& toolName);

// The value under the first of `keys` present in an object payload (a present
// null included); absent for non-objects, empty objects and no matching key.
[[nodiscard]] std::optional<JSONValue> field(const JSONValue& json,
                                             std::initializer_list<std::string_view> keys);
// The same, moving the value out of a payload that is no longer needed.
[[nodiscard]] std::optional<JSONValue> field(JSONValue&& json,
                                             std::initializer_list<std::string_view> keys);

}  // namespace vorla
